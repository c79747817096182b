#!/usr/bin/env bash
# Times ovik-verify against diff -rq on the same trees, in one run:
#   (a) 4 identical files of 256 MiB,
#   (b) 50,000 files of 1-16 KiB in 500 folders,
#   (c) optional (MILLION=1): 1,000,000 files of 0-63 bytes in 1,000 folders,
# warm (trees in the page cache, ovik-verify --cached) and cold (both trees
# dropped from the page cache with POSIX_FADV_DONTNEED before every timed
# run, ovik-verify in its default mode reading the destination from the
# medium). Cold runs are also timed against a parallel plain reader
# (xargs -P cat over both trees), the pace the device allows. Peak memory
# of the verifier is measured on (b) and (c).
# Checksum lists (SUMS=0 leaves them out): checking (a) and (b) warm against
# a SHA-256 list, ovik-verify -c against sha256sum -c in the folder, and
# recording a list (--write-sums) against the same run without it, cold.
# RUNS=n sets the number of alternating runs (default 5); SMALL_ONLY=1
# leaves (a) out; COLD=0 or WARM=0 leaves a mode out; SMALL_FILES=n makes
# (b) that many files (a smoke run of the script itself).
set -euo pipefail
source "$(dirname "$0")/common.sh"

RUNS=${RUNS:-5}
MILLION=${MILLION:-0}
SMALL_ONLY=${SMALL_ONLY:-0}
COLD=${COLD:-1}
WARM=${WARM:-1}
SUMS=${SUMS:-1}
SMALL_FILES=${SMALL_FILES:-50000}
PEAKS=${PEAKS:-1}

make_large_tree() {
  mkdir -p "$1/src" "$1/dst"
  for i in 1 2 3 4; do
    head -c 256M /dev/urandom >"$1/src/large$i.bin"
    cp "$1/src/large$i.bin" "$1/dst/"
  done
}

make_small_tree() {
  mkdir -p "$1/src"
  make_random_tree "$1/src" 500 "$SMALL_FILES" 1024 16384
  cp -a "$1/src" "$1/dst"
}

make_million_tree() {
  mkdir -p "$1/src"
  make_random_tree "$1/src" 1000 1000000 0 63
  cp -a "$1/src" "$1/dst"
}

drop_tree() { "$DROP" "$1/src" "$1/dst"; }

# Both trees read at once by one plain `cat` each: the pace of the memory
# when they are cached.
cat_both() {  # tree
  find "$1/src" -type f -print0 | xargs -0 cat >/dev/null &
  find "$1/dst" -type f -print0 | xargs -0 cat >/dev/null
  wait
}

parallel_read() {  # tree, readers, files per cat
  find "$1/src" "$1/dst" -type f -print0 | xargs -0 -P "$2" -n "$3" cat >/dev/null
}

# Files per cat so that each of `readers` gets its share, at most 256: a few
# large files are read by as many cats at once.
files_per_reader() {  # tree, readers
  local files per
  files=$(find "$1/src" "$1/dst" -type f | wc -l)
  per=$(((files + $2 - 1) / $2))
  echo $((per < 1 ? 1 : per > 256 ? 256 : per))
}

# One timed run of each command, in the given order, each on a cold tree
# when `cold` is 1. Prints the wall times in that order, those of diff and
# ovik with their processor time ("wall:cpu").
time_each() {  # cold, tree, command names...
  local cold=$1 tree=$2
  shift 2
  local name times=() per
  per=$(files_per_reader "$tree" "$READERS")
  for name in "$@"; do
    if ((cold)); then drop_tree "$tree"; fi
    case $name in
      diff) times+=("$(wall_and_cpu_seconds 0 diff -rq "$tree/src" "$tree/dst")") ;;
      ovik) if ((cold)); then times+=("$(wall_and_cpu_seconds 0 "$VERIFY" --quiet "$tree/src" "$tree/dst")")
            else times+=("$(wall_and_cpu_seconds 0 "$VERIFY" --cached --quiet "$tree/src" "$tree/dst")"); fi ;;
      reader) times+=("$(wall_seconds 0 parallel_read "$tree" "$READERS" "$per")") ;;
      cat) times+=("$(wall_seconds 0 cat_both "$tree")") ;;
    esac
  done
  echo "${times[@]}"
}

# Alternates the commands (rotating who goes first) and prints one line per
# run, then the medians, with the processor time ovik used against diff's
# ("cpu"). Cold runs add a parallel plain reader (the pace of
# the device), warm runs of `with_cat` a plain cat of both trees (the pace
# of the memory). Sets RATIO_DIFF (ovik / diff), RATIO_REF (ovik / the
# reference) and REF_DIFF (diff / the reference).
compare() {  # name, tree, cold, with_cat
  local name=$1 tree=$2 cold=$3 with_cat=${4:-0} ref="" order run i
  local -a names=(diff ovik) diffs=() oviks=() refs=() ratios=() rratios=() cpus=()
  if ((cold)); then ref=reader; elif ((with_cat)); then ref=cat; fi
  if [[ -n $ref ]]; then names+=("$ref"); fi
  part_quiet
  # One round untimed: it warms the trees of a warm part; and after the
  # quiet wait the first cold reads cost the kernel up to 4x the processor
  # time of later ones, whoever reads first, which would fall on the first
  # timed run.
  time_each "$cold" "$tree" "${names[@]}" >/dev/null
  part_begin "$name"
  printf '  %-6s %10s %10s' run "diff -rq" ovik
  if [[ -n $ref ]]; then printf ' %10s' "$ref"; fi
  printf ' %8s' "/diff"
  if [[ -n $ref ]]; then printf ' %8s' "/$ref"; fi
  printf ' %8s' "cpu"
  echo
  for ((run = 1; run <= RUNS; run++)); do
    order=()
    for ((i = 0; i < ${#names[@]}; i++)); do order+=("${names[(i + run) % ${#names[@]}]}"); done
    read -r -a times <<<"$(time_each "$cold" "$tree" "${order[@]}")"
    local d o r="" dcpu ocpu
    for ((i = 0; i < ${#order[@]}; i++)); do
      case ${order[i]} in
        diff) d=${times[i]%%:*} dcpu=${times[i]##*:} ;;
        ovik) o=${times[i]%%:*} ocpu=${times[i]##*:} ;;
        *) r=${times[i]} ;;
      esac
    done
    diffs+=("$d") oviks+=("$o") ratios+=("$(ratio "$o" "$d")") cpus+=("$(ratio "$ocpu" "$dcpu")")
    printf '  %-6s %9ss %9ss' "$run" "$d" "$o"
    if [[ -n $ref ]]; then refs+=("$r") rratios+=("$(ratio "$o" "$r")"); printf ' %9ss' "$r"; fi
    printf ' %7sx' "${ratios[-1]}"
    if [[ -n $ref ]]; then printf ' %7sx' "${rratios[-1]}"; fi
    printf ' %7sx' "${cpus[-1]}"
    echo
  done
  RATIO_DIFF=$(median "${ratios[@]}")
  printf '  %-6s %9ss %9ss' median "$(median "${diffs[@]}")" "$(median "${oviks[@]}")"
  if [[ -n $ref ]]; then
    RATIO_REF=$(median "${rratios[@]}")
    REF_DIFF=$(ratio "$(median "${diffs[@]}")" "$(median "${refs[@]}")")
    printf ' %9ss' "$(median "${refs[@]}")"
  fi
  printf ' %7sx' "$RATIO_DIFF"
  if [[ -n $ref ]]; then printf ' %7sx' "$RATIO_REF"; fi
  printf ' %7sx' "$(median "${cpus[@]}")"
  echo
  part_end
}

# The SHA-256 list of a tree's destination, as sha256sum writes it from
# inside the folder.
make_sums() {  # tree
  (cd "$1/dst" && find . -type f -print0 | sort -z | xargs -0 sha256sum) >"$1/SHA256SUMS"
}

# The commands compare_pair times, each on a tree.
sha256sum_check() { (cd "$1/dst" && sha256sum --quiet -c "$1/SHA256SUMS"); }
ovik_check() { "$VERIFY" --cached --quiet -c "$1/SHA256SUMS" "$1/dst"; }
ovik_plain() { "$VERIFY" --quiet "$1/src" "$1/dst"; }
ovik_record() { "$VERIFY" --quiet --write-sums "$1/recorded.sums" "$1/src" "$1/dst"; }

# Times two commands alternately (rotating who goes first), each on a cold
# tree when `cold` is 1, prints one line per run and the medians, and sets
# RATIO (second / first).
compare_pair() {  # name, tree, cold, first, second
  local name=$1 tree=$2 cold=$3 run i cmd
  local -a cmds=("$4" "$5") firsts=() seconds=() ratios=() order times
  part_quiet
  for cmd in "$4" "$5"; do
    if ((cold)); then drop_tree "$tree"; fi
    "$cmd" "$tree" >/dev/null 2>&1
  done
  part_begin "$name"
  printf '  %-6s %14s %14s %8s\n' run "$4" "$5" "ratio"
  for ((run = 1; run <= RUNS; run++)); do
    order=("${cmds[run % 2]}" "${cmds[(run + 1) % 2]}")
    local a="" b=""
    for cmd in "${order[@]}"; do
      if ((cold)); then drop_tree "$tree"; fi
      local t
      t=$(wall_seconds 0 "$cmd" "$tree")
      if [[ $cmd == "$4" ]]; then a=$t; else b=$t; fi
    done
    firsts+=("$a") seconds+=("$b") ratios+=("$(ratio "$b" "$a")")
    printf '  %-6s %13ss %13ss %7sx\n' "$run" "$a" "$b" "${ratios[-1]}"
  done
  RATIO=$(median "${ratios[@]}")
  printf '  %-6s %13ss %13ss %7sx\n' median "$(median "${firsts[@]}")" "$(median "${seconds[@]}")" "$RATIO"
  part_end
}


peak_mib() {  # tree
  local rss
  rss=$(peak_rss_kib "$VERIFY" --cached "$1/src" "$1/dst")
  awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }'
}

if [[ ! -x /usr/bin/time ]]; then echo "engine.sh needs /usr/bin/time (Debian package time)" >&2; exit 2; fi
build_verifier
make_scratch
DROP="$SCRATCH/drop-cache"
c++ -O2 -o "$DROP" "$OVIK_ROOT/bench/DropCache.cpp"
echo "machine: $(nproc) cores, load $(load_average), $(date -u '+%Y-%m-%d %H:%M UTC')"

echo "making the trees under $SCRATCH ..."
if ((!SMALL_ONLY)); then mkdir "$SCRATCH/large"; make_large_tree "$SCRATCH/large"; fi
mkdir "$SCRATCH/small"
make_small_tree "$SCRATCH/small"
if ((SUMS)); then
  if ((!SMALL_ONLY)); then make_sums "$SCRATCH/large"; fi
  make_sums "$SCRATCH/small"
fi
sync

summary=()
# Figures for the summary; their targets are judged at the end, when it is
# known whether the machine stayed quiet throughout.
add() {  # what, value, limit ("" for none)
  summary+=("$1|$2|$3")
}

print_summary() {
  local entry what value limit
  echo
  echo "summary (load now: $(load_average))"
  for entry in "${summary[@]}"; do
    IFS='|' read -r what value limit <<<"$entry"
    if [[ -n $limit ]]; then printf '  %-38s %8s (target <= %s): %s\n' "$what" "$value" "$limit" "$(verdict "$value" "$limit")"
    else printf '  %-38s %8s\n' "$what" "$value"; fi
  done
}

if ((!SMALL_ONLY)); then
  READERS=8
  if ((WARM)); then
    compare "(a) 4 files of 256 MiB, warm (a plain cat of each tree at once)" "$SCRATCH/large" 0 1
    add "(a) warm, ovik / diff" "$RATIO_DIFF" 0.40
    add "(a) warm, ovik / cat of both trees" "$RATIO_REF" ""
    add "(a) warm, diff / cat of both trees" "$REF_DIFF" ""
  fi
  if ((COLD)); then
    compare "(a) 4 files of 256 MiB, cold ($READERS plain readers)" "$SCRATCH/large" 1
    add "(a) cold, ovik / diff" "$RATIO_DIFF" 0.60
    add "(a) cold, ovik / plain readers" "$RATIO_REF" ""
  fi
fi
READERS=16
if ((WARM)); then compare "(b) 50,000 files of 1-16 KiB, warm" "$SCRATCH/small" 0; add "(b) warm, ovik / diff" "$RATIO_DIFF" 0.60; fi
if ((COLD)); then
  compare "(b) 50,000 files of 1-16 KiB, cold ($READERS plain readers)" "$SCRATCH/small" 1
  add "(b) cold, ovik / diff" "$RATIO_DIFF" 0.40
  add "(b) cold, ovik / plain readers" "$RATIO_REF" ""
fi
add "(b) peak memory, MiB" "$(peak_mib "$SCRATCH/small")" 96

if ((SUMS)); then
  if ((!SMALL_ONLY)); then
    compare_pair "(d) checking (a) against a SHA-256 list, warm" "$SCRATCH/large" 0 sha256sum_check ovik_check
    add "(d) warm, ovik -c / sha256sum -c" "$RATIO" 0.15
  fi
  compare_pair "(e) checking (b) against a SHA-256 list, warm" "$SCRATCH/small" 0 sha256sum_check ovik_check
  add "(e) warm, ovik -c / sha256sum -c" "$RATIO" 0.3
  if ((COLD)); then
    if ((!SMALL_ONLY)); then
      compare_pair "(f) verifying (a) with and without --write-sums, cold" "$SCRATCH/large" 1 ovik_plain ovik_record
      add "(f) cold, recording / not" "$RATIO" 1.3
    fi
    compare_pair "(g) verifying (b) with and without --write-sums, cold" "$SCRATCH/small" 1 ovik_plain ovik_record
    add "(g) cold, recording / not" "$RATIO" 1.3
  fi
fi

# The million files come last and are made only then: two million cached
# inodes and names make every lookup slower (by 30-60% on the small tree,
# for diff as for ovik), which would tell on the parts after them.
if ((MILLION)); then
  echo "making the million files ..."
  mkdir "$SCRATCH/million"; make_million_tree "$SCRATCH/million"; sync
  RUNS_SAVED=$RUNS
  RUNS=${MILLION_RUNS:-3}
  compare "(c) 1,000,000 files of 0-63 bytes, warm" "$SCRATCH/million" 0
  RUNS=$RUNS_SAVED
  add "(c) warm, ovik / diff" "$RATIO_DIFF" 0.60
  add "(c) peak memory, MiB" "$(peak_mib "$SCRATCH/million")" 80
fi

# The verifier's memory against the number of files: it must not grow with
# them beyond the few lines it keeps for its order.
if ((PEAKS)); then
  echo "making 100,000 and 1,000,000 files of 1 byte ..."
  for count in 100000 1000000; do
    mkdir -p "$SCRATCH/peak$count/src"
    make_random_tree "$SCRATCH/peak$count/src" 1000 "$count" 1 1
    cp -a "$SCRATCH/peak$count/src" "$SCRATCH/peak$count/dst"
  done
  peak_small=$(peak_mib "$SCRATCH/peak100000")
  peak_large=$(peak_mib "$SCRATCH/peak1000000")
  rm -rf "$SCRATCH/peak100000" "$SCRATCH/peak1000000"
  add "(h) peak memory at 100,000 files, MiB" "$peak_small" ""
  add "(h) peak memory at 1,000,000 files, MiB" "$peak_large" 64
  add "(h) growth from 100,000 to 1,000,000, MiB" "$(awk -v a="$peak_large" -v b="$peak_small" 'BEGIN { printf "%.1f", a - b }')" 8
fi

print_summary
