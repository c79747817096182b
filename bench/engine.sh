#!/usr/bin/env bash
# Times ovik-verify --cached against diff -rq on the same warm trees:
#   (a) 4 identical files of 256 MiB,
#   (b) 50,000 files of 1-16 KiB in 500 folders,
# and measures the verifier's peak memory on (b).
# Targets: (a) at most 1.1x diff's wall time, (b) at most 1.5x, (b) under 64 MiB.
# RUNS=n sets the number of alternating runs (default 5).
set -euo pipefail
source "$(dirname "$0")/common.sh"

RUNS=${RUNS:-5}

make_large_tree() {
  mkdir -p "$1/src" "$1/dst"
  for i in 1 2 3 4; do
    head -c 256M /dev/urandom >"$1/src/large$i.bin"
    cp "$1/src/large$i.bin" "$1/dst/"
  done
}

make_small_tree() {
  mkdir -p "$1/src"
  make_random_tree "$1/src" 500 50000 1024 16384
  cp -a "$1/src" "$1/dst"
}

# Alternates diff and the verifier (swapping who goes first) and prints one
# line per run, then the medians. Sets RESULT_RATIO to the median ratio.
compare_with_diff() {
  local name=$1 tree=$2 ratios=() diffs=() oviks=() d o
  wall_seconds 0 diff -rq "$tree/src" "$tree/dst" >/dev/null  # warm the cache
  wall_seconds 0 "$VERIFY" --cached --quiet "$tree/src" "$tree/dst" >/dev/null
  printf '%s\n  %-6s %10s %10s %8s\n' "$name" run "diff -rq" ovik ratio
  for ((run = 1; run <= RUNS; run++)); do
    if ((run % 2)); then
      d=$(wall_seconds 0 diff -rq "$tree/src" "$tree/dst")
      o=$(wall_seconds 0 "$VERIFY" --cached --quiet "$tree/src" "$tree/dst")
    else
      o=$(wall_seconds 0 "$VERIFY" --cached --quiet "$tree/src" "$tree/dst")
      d=$(wall_seconds 0 diff -rq "$tree/src" "$tree/dst")
    fi
    diffs+=("$d") oviks+=("$o") ratios+=("$(ratio "$o" "$d")")
    printf '  %-6s %9ss %9ss %7sx\n' "$run" "$d" "$o" "${ratios[-1]}"
  done
  RESULT_RATIO=$(median "${ratios[@]}")
  printf '  %-6s %9ss %9ss %7sx\n' median "$(median "${diffs[@]}")" "$(median "${oviks[@]}")" "$RESULT_RATIO"
}

verdict() {  # value, limit
  awk -v v="$1" -v l="$2" 'BEGIN { print (v <= l) ? "met" : "MISSED" }'
}

if [[ ! -x /usr/bin/time ]]; then echo "engine.sh needs /usr/bin/time (Debian package time)" >&2; exit 2; fi
build_verifier
make_scratch
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"

mkdir "$SCRATCH/large" "$SCRATCH/small"
echo "making the trees under $SCRATCH ..."
make_large_tree "$SCRATCH/large"
make_small_tree "$SCRATCH/small"

compare_with_diff "(a) 4 files of 256 MiB, warm cache" "$SCRATCH/large"
large_ratio=$RESULT_RATIO
compare_with_diff "(b) 50,000 files of 1-16 KiB in 500 folders, warm cache" "$SCRATCH/small"
small_ratio=$RESULT_RATIO

rss=$(peak_rss_kib "$VERIFY" --cached "$SCRATCH/small/src" "$SCRATCH/small/dst")
rss_mib=$(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }')

echo
echo "summary"
printf '  (a) median ratio %sx (target <= 1.1x): %s\n' "$large_ratio" "$(verdict "$large_ratio" 1.1)"
printf '  (b) median ratio %sx (target <= 1.5x): %s\n' "$small_ratio" "$(verdict "$small_ratio" 1.5)"
printf '  (b) peak memory %s MiB with every line listed (target < 64 MiB): %s\n' "$rss_mib" "$(verdict "$rss_mib" 63.999)"
