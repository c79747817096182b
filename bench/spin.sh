#!/usr/bin/env bash
# Verifies trees on a simulated medium with one head. Each tree is copied
# with `cp -r` into an ext4 image; the image is served by ovik-test-faultfs
# at the pace of one head (--spin=hdd or --spin=disc), a read-only loop
# device reads it with direct I/O (so the kernel's block layer is real) and
# the file system on it is mounted read-only. The loop device says
# "rotational 1" and "rotational 0" in turn. Every cache is dropped before
# each run and the source (a local tree) read back in, so the source is warm
# and the medium cold. Timed, alternating, RUNS times each:
#   - cat of the medium's files in the order of their data (FIEMAP),
#   - 16 parallel cats, diff -rq, ovik-verify,
# with medians and the ratios ovik / cat in order and ovik / diff -rq, and
# the head's seeks of each. Trees: hard disk 3,000 files of 4-64 KiB,
# 8 x 64 MiB, and both; disc 600 files of 4-64 KiB and one 64 MiB file, and
# the 600 files served as files (no block device: folders list and data lie
# in name order, as on a disc).
# Needs root, /dev/fuse, a free loop device, mkfs.ext4 and filefrag.
# RUNS=n alternating runs (default 3); SMALL=1 makes every tree tiny (a
# smoke run of the script itself); SPIN_TIME_SCALE=f scales the medium's
# time (default 1).
set -euo pipefail
source "$(dirname "$0")/common.sh"

RUNS=${RUNS:-3}
SMALL=${SMALL:-0}
SPIN_TIME_SCALE=${SPIN_TIME_SCALE:-1}
FAULTFS="$OVIK_ROOT/build/release/tests/support/faultfs/ovik-test-faultfs"
PARALLEL=16

if ((SMALL)); then
  HDD_SMALL=150 HDD_LARGE_COUNT=2 HDD_LARGE_MIB=4 DISC_SMALL=40 DISC_LARGE_MIB=4
else
  HDD_SMALL=3000 HDD_LARGE_COUNT=8 HDD_LARGE_MIB=64 DISC_SMALL=600 DISC_LARGE_MIB=64
fi

require_spin_support() {
  if [[ $(id -u) -ne 0 ]]; then echo "spin.sh needs root (loop devices, FUSE, mount)" >&2; exit 2; fi
  for tool in losetup mkfs.ext4 filefrag mount umount mountpoint /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "spin.sh needs $tool" >&2; exit 2; }
  done
  [[ -w /dev/fuse ]] || { echo "spin.sh needs /dev/fuse" >&2; exit 2; }
}

# The verifier and the spinning file system, built in release.
build_tools() {
  local log
  log=$(mktemp)
  if ! (cd "$OVIK_ROOT" && cmake --preset release -DOVIK_BUILD_TESTS=ON && cmake --build --preset release -j2 --target ovik-verify ovik-test-faultfs) >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "build failed (ovik-test-faultfs needs libfuse3-dev)" >&2
    exit 1
  fi
  rm -f "$log"
}

# What is up now, torn down in the opposite order: file system on the loop
# device, loop device, spinning file system and its daemon.
MEDIUM_MOUNT="" LOOP_DEVICE="" SPIN_MOUNT="" SPIN_PID=""

take_down() {
  if [[ -n $MEDIUM_MOUNT ]]; then umount "$MEDIUM_MOUNT" || umount -l "$MEDIUM_MOUNT" || true; fi
  if [[ -n $LOOP_DEVICE ]]; then losetup -d "$LOOP_DEVICE" || true; fi
  if [[ -n $SPIN_MOUNT ]]; then umount "$SPIN_MOUNT" || umount -l "$SPIN_MOUNT" || true; fi
  if [[ -n $SPIN_PID ]]; then kill "$SPIN_PID" 2>/dev/null || true; wait "$SPIN_PID" 2>/dev/null || true; fi
  MEDIUM_MOUNT="" LOOP_DEVICE="" SPIN_MOUNT="" SPIN_PID="" MEDIUM_PIDS=""
}

before_scratch_removal() { take_down; }

# `count` files of `mib` MiB of random bytes in `folder`.
make_large_files() {  # folder, count, mib
  mkdir -p "$1"
  local i
  for ((i = 1; i <= $2; i++)); do head -c "$3M" /dev/urandom >"$1/large$i.bin"; done
}

tree_bytes() { du -sb --apparent-size "$1" | cut -f1; }

# An ext4 image holding a `cp -r` of `tree`, its lazy initialisation done
# at once, with nothing else on it.
make_image() {  # tree, image
  local bytes mnt=$SCRATCH/writing
  bytes=$(tree_bytes "$1")
  truncate -s $(((bytes * 5 / 4 + (128 << 20)) >> 20 << 20)) "$2"
  mkfs.ext4 -q -F -E lazy_itable_init=0,lazy_journal_init=0 "$2"
  mkdir -p "$mnt"
  mount -o loop "$2" "$mnt"
  rmdir "$mnt/lost+found"
  cp -r "$1"/. "$mnt"/
  umount "$mnt"
}

# Serves `folder` at the pace of one head of `model`; the head's counts go
# to $COUNTS after every read.
serve_spinning() {  # model, folder, mount point
  mkdir -p "$3"
  "$FAULTFS" --spin="$1" --spin-time-scale="$SPIN_TIME_SCALE" --spin-counts="$COUNTS" "$2" "$3" >"$SCRATCH/faultfs.log" 2>&1 &
  SPIN_PID=$!
  MEDIUM_PIDS=$SPIN_PID
  SPIN_MOUNT=$3
  local waited=0
  until mountpoint -q "$3"; do
    if ((waited >= 100)) || ! kill -0 "$SPIN_PID" 2>/dev/null; then
      cat "$SCRATCH/faultfs.log" >&2
      echo "the spinning file system did not come up" >&2
      exit 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
}

# The image in `folder`, served spinning, behind a read-only direct-I/O
# loop device and mounted read-only at $MEDIUM.
attach_spinning_image() {  # model, folder holding disk.img
  serve_spinning "$1" "$2" "$SCRATCH/spin"
  LOOP_DEVICE=$(losetup --find --show --read-only --direct-io=on "$SCRATCH/spin/disk.img")
  if [[ $(cat "/sys/block/${LOOP_DEVICE#/dev/}/loop/dio" 2>/dev/null) != 1 ]]; then
    echo "   warning: $LOOP_DEVICE does not read its image with direct I/O" >&2
  fi
  mkdir -p "$MEDIUM"
  mount -o ro "$LOOP_DEVICE" "$MEDIUM"
  MEDIUM_MOUNT=$MEDIUM
}

set_rotational() { echo "$1" >"/sys/block/${LOOP_DEVICE#/dev/}/queue/rotational"; }

head_seeks() { awk '{ print $6 }' "$COUNTS"; }

# The files under `folder`, one a line, in the order of their first block
# on the device (FIEMAP, through filefrag).
data_order() {  # folder
  find "$1" -type f -print0 | xargs -0 filefrag -v 2>/dev/null | awk '
    /^File size of / { name = $0; sub(/^File size of /, "", name); sub(/ is [0-9]+ .*$/, "", name); next }
    name != "" && $1 == "0:" { start = $4; sub(/\.\..*$/, "", start); print start "\t" name; name = "" }
  ' | sort -n | cut -f2-
}

# Every cache dropped, then the source read back in: the medium is cold,
# the source warm.
drop_caches() {  # source, medium
  "$DROP" "$2"
  sync
  echo 3 >/proc/sys/vm/drop_caches
  find "$1" -type f -exec cat {} + >/dev/null
}

cat_in_order() { tr '\n' '\0' <"$ORDER" | xargs -0 cat >/dev/null; }
parallel_cats() { find "$1" -type f -print0 | xargs -0 -P "$PARALLEL" -n 8 cat >/dev/null; }

# One cold run of a command; prints "wall:cpu:seeks" (the processor time
# only of diff and ovik).
run_one() {  # name, source, medium
  local times seeks
  drop_caches "$2" "$3"
  seeks=$(head_seeks)
  case $1 in
    cat) times=$(wall_seconds 0 cat_in_order):0 ;;
    par) times=$(wall_seconds 0 parallel_cats "$3"):0 ;;
    diff) times=$(wall_and_cpu_seconds 0 diff -rq "$2" "$3") ;;
    ovik) times=$(wall_and_cpu_seconds 0 "$VERIFY" --quiet "$2" "$3") ;;
  esac
  echo "$times:$(($(head_seeks) - seeks))"
}

# Processor time of ovik against diff's; diff of a tiny tree takes none.
cpu_ratio() { if awk -v d="$2" 'BEGIN { exit !(d > 0) }'; then ratio "$1" "$2"; else echo "-"; fi; }

SUMMARY=()

# Times the four commands RUNS times, rotating who goes first, prints a
# line per run (seconds, seeks) and the medians.
measure() {  # caption, source, medium
  local caption=$1 source=$2 medium=$3 run i name bytes
  local -a names=(cat par diff ovik) order
  local -A wall=() seeks=() cpu=()
  bytes=$(tree_bytes "$source")
  part_begin "$caption ($(awk -v b="$bytes" 'BEGIN { printf "%.0f", b / 1e6 }') MB)"
  printf '  %-6s %18s %18s %18s %18s %8s %8s %8s\n' run "cat in order" "$PARALLEL cats" "diff -rq" ovik \
    "/cat" "/diff" "cpu/diff"
  for ((run = 1; run <= RUNS; run++)); do
    order=()
    for ((i = 0; i < ${#names[@]}; i++)); do order+=("${names[(i + run) % ${#names[@]}]}"); done
    local -A got=()
    for name in "${order[@]}"; do got[$name]=$(run_one "$name" "$source" "$medium"); done
    printf '  %-6s' "$run"
    for name in "${names[@]}"; do
      IFS=: read -r w c s <<<"${got[$name]}"
      wall[$name]+="$w " cpu[$name]+="$c " seeks[$name]+="$s "
      printf ' %8ss %7s sk' "$w" "$s"
    done
    IFS=: read -r ow oc _ <<<"${got[ovik]}"
    IFS=: read -r cw _ _ <<<"${got[cat]}"
    IFS=: read -r dw dc _ <<<"${got[diff]}"
    printf ' %7sx %7sx %7sx\n' "$(ratio "$ow" "$cw")" "$(ratio "$ow" "$dw")" "$(cpu_ratio "$oc" "$dc")"
  done
  local -A med=()
  printf '  %-6s' median
  for name in "${names[@]}"; do
    # shellcheck disable=SC2086
    med[$name]=$(median ${wall[$name]})
    # shellcheck disable=SC2086
    printf ' %8ss %7s sk' "${med[$name]}" "$(median ${seeks[$name]})"
  done
  local to_cat to_diff
  to_cat=$(ratio "${med[ovik]}" "${med[cat]}")
  to_diff=$(ratio "${med[ovik]}" "${med[diff]}")
  # shellcheck disable=SC2086
  printf ' %7sx %7sx %7sx\n' "$to_cat" "$to_diff" "$(cpu_ratio "$(median ${cpu[ovik]})" "$(median ${cpu[diff]})")"
  part_end
  SUMMARY+=("$caption|${med[cat]}|${med[diff]}|${med[par]}|${med[ovik]}|$to_cat|$to_diff")
}

# Every tree of `root` on one image, on both rotational flags: the trees
# given by name, and the whole image as the mix when asked.
measure_image() {  # model, title, root, mix caption or "", trees as name:caption...
  local model=$1 title=$2 root=$3 mix=$4 flag entry
  shift 4
  mkdir -p "$SCRATCH/image-$model"
  make_image "$root" "$SCRATCH/image-$model/disk.img"
  attach_spinning_image "$model" "$SCRATCH/image-$model"
  for flag in 1 0; do
    set_rotational "$flag"
    for entry in "$@"; do
      ORDER=$SCRATCH/order
      data_order "$MEDIUM/${entry%%:*}" >"$ORDER"
      measure "$title, ${entry#*:}, rotational $flag" "$root/${entry%%:*}" "$MEDIUM/${entry%%:*}"
    done
    if [[ -n $mix ]]; then
      data_order "$MEDIUM" >"$ORDER"
      measure "$title, $mix, rotational $flag" "$root" "$MEDIUM"
    fi
  done
  take_down
}

# The disc's small files served as files: data and listings in name order.
measure_served_files() {  # tree, caption
  mkdir -p "$SCRATCH/disc-files"
  cp -r "$1" "$SCRATCH/disc-files/"
  local served
  served=$SCRATCH/disc-files/$(basename "$1")
  serve_spinning disc "$served" "$SCRATCH/spin"
  ORDER=$SCRATCH/order
  (cd "$SCRATCH/spin" && find . -type f | LC_ALL=C sort | sed "s|^\.|$SCRATCH/spin|") >"$ORDER"
  measure "$2" "$1" "$SCRATCH/spin"
  take_down
}

print_summary() {
  local entry caption c d p o rc rd
  echo
  echo "summary (load now: $(load_average); medians of $RUNS; targets: ovik <= 1.15x cat in order," \
    "on small files <= 0.70x diff -rq, never above diff -rq)"
  printf '  %-52s %10s %10s %10s %10s %8s %8s\n' "medium, tree" "cat order" "diff -rq" "$PARALLEL cats" ovik "/cat" "/diff"
  for entry in "${SUMMARY[@]}"; do
    IFS='|' read -r caption c d p o rc rd <<<"$entry"
    printf '  %-52s %9ss %9ss %9ss %9ss %7sx %7sx\n' "$caption" "$c" "$d" "$p" "$o" "$rc" "$rd"
  done
  if ((MACHINE_BUSY)); then echo "  the machine was busy during some part: no figure of this run is judged"; fi
}

require_spin_support
build_tools
make_scratch
DROP="$SCRATCH/drop-cache"
c++ -O2 -o "$DROP" "$OVIK_ROOT/bench/DropCache.cpp"
COUNTS=$SCRATCH/head.counts
MEDIUM=$SCRATCH/medium
echo "machine: $(nproc) cores, load $(load_average), $(date -u '+%Y-%m-%d %H:%M UTC')$( ((SMALL)) && echo ", small trees")"

echo "making the trees under $SCRATCH ..."
mkdir -p "$SCRATCH/hdd/small" "$SCRATCH/disc/small"
make_random_tree "$SCRATCH/hdd/small" $(((HDD_SMALL + 99) / 100)) "$HDD_SMALL" 4096 65536
make_large_files "$SCRATCH/hdd/large" "$HDD_LARGE_COUNT" "$HDD_LARGE_MIB"
make_random_tree "$SCRATCH/disc/small" $(((DISC_SMALL + 99) / 100)) "$DISC_SMALL" 4096 65536
make_large_files "$SCRATCH/disc/large" 1 "$DISC_LARGE_MIB"
sync

measure_image hdd "hard disk" "$SCRATCH/hdd" "both" \
  "small:$HDD_SMALL files of 4-64 KiB" "large:$HDD_LARGE_COUNT x $HDD_LARGE_MIB MiB"
measure_image disc "disc" "$SCRATCH/disc" "" \
  "small:$DISC_SMALL files of 4-64 KiB" "large:one $DISC_LARGE_MIB MiB file"
measure_served_files "$SCRATCH/disc/small" "disc, $DISC_SMALL files of 4-64 KiB served as files"
print_summary
