#!/usr/bin/env bash
# Reads a destination tree that lives on a loop-mounted ext4 image. The loop
# device reads its image with direct I/O, so a read of the medium really goes
# to the disk under the image and not to the host's cache of the image file.
#   - ovik-verify --cached (destination in the cache) against the default
#     medium read, once right after the destination was read (as after a
#     copy) and once with the file system just mounted (nothing cached);
#   - the medium read against a plain read of the same bytes in the same
#     order (cat; dd iflag=direct too for the large files) with the file
#     system just mounted. Target: the medium read reaches at least 90% of
#     the plain read's speed.
# Needs root, a free loop device and mkfs.ext4.
# RUNS=n alternating runs (default 3); SMALL_FILES=n files in the small tree
# (default 50000, in folders of 100; 0 leaves the small tree out).
set -euo pipefail
source "$(dirname "$0")/common.sh"

RUNS=${RUNS:-3}
SMALL_FILES=${SMALL_FILES:-50000}

require_loop_support() {
  if [[ $(id -u) -ne 0 ]]; then echo "medium.sh needs root (loop devices, mount)" >&2; exit 2; fi
  for tool in losetup mkfs.ext4 mount umount; do
    command -v "$tool" >/dev/null || { echo "medium.sh needs $tool" >&2; exit 2; }
  done
}

LOOP_DEVICE=""
MOUNTED=""

before_scratch_removal() {
  if [[ -n $MOUNTED ]]; then umount "$MOUNTED" || true; fi
  if [[ -n $LOOP_DEVICE ]]; then losetup -d "$LOOP_DEVICE" || true; fi
}

# An ext4 image with every lazy initialisation done at once, so no kernel
# thread writes to it while we time reads.
attach_image() {
  local image=$1 size=$2
  truncate -s "$size" "$image"
  mkfs.ext4 -q -F -E lazy_itable_init=0,lazy_journal_init=0 "$image"
  LOOP_DEVICE=$(losetup --find --show --direct-io=on "$image")
}

mount_image() {
  mount "$LOOP_DEVICE" "$1"
  MOUNTED=$1
}

# Unmounting evicts every cached page of the file system: the next reads of
# the tree come from the device.
remount_cold() {
  umount "$MOUNTED"
  mount "$LOOP_DEVICE" "$MOUNTED"
}

read_all_with_cat() {
  find "$1" -type f -exec cat {} + >/dev/null
}

# Reads the destination's files in the order the verifier reaches them, the
# source's listing order: on a fresh copy that is also the order the files
# were written in, which keeps the device's reads close together.
read_all_in_source_order() {  # source, destination
  (cd "$1" && find . -type f -print0) | (cd "$2" && xargs -0 cat) >/dev/null
}

read_all_with_direct_dd() {
  local file
  for file in "$1"/*; do dd if="$file" of=/dev/null bs=1M iflag=direct status=none; done
}

mib_per_second() {  # bytes, seconds
  awk -v b="$1" -v s="$2" 'BEGIN { printf "%.0f", b / 1048576 / s }'
}

percent() {  # the time of the reference read, the time of the read measured
  awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", 100 * a / b }'
}

print_median() {  # caption, bytes, times...
  local caption=$1 bytes=$2 time
  shift 2
  time=$(median "$@")
  printf '  %-48s %8ss %6s MiB/s\n' "$caption" "$time" "$(mib_per_second "$bytes" "$time")"
}

medium_read_cold() {
  remount_cold
  wall_seconds 0 "$VERIFY" --quiet "$1" "$2"
}

plain_read_cold() {
  remount_cold
  wall_seconds 0 read_all_in_source_order "$1" "$2"
}

# Runs one tree through every read RUNS times and prints the medians. The
# cold medium read and the plain read swap places from run to run.
measure_tree() {
  local name=$1 src=$2 dst=$3 direct_dd=$4
  local bytes cached=() warm=() medium=() plain=() direct=() c w m p d
  bytes=$(du -sb --apparent-size "$dst" | cut -f1)
  echo "$name ($(awk -v b="$bytes" 'BEGIN { printf "%.0f", b / 1048576 }') MiB)"
  read_all_with_cat "$src"
  for ((run = 1; run <= RUNS; run++)); do
    read_all_with_cat "$dst"
    c=$(wall_seconds 0 "$VERIFY" --cached --quiet "$src" "$dst")
    w=$(wall_seconds 0 "$VERIFY" --quiet "$src" "$dst")
    if ((run % 2)); then
      m=$(medium_read_cold "$src" "$dst")
      p=$(plain_read_cold "$src" "$dst")
    else
      p=$(plain_read_cold "$src" "$dst")
      m=$(medium_read_cold "$src" "$dst")
    fi
    d=""
    if [[ $direct_dd == yes ]]; then
      remount_cold
      d=$(wall_seconds 0 read_all_with_direct_dd "$dst")
      direct+=("$d")
    fi
    cached+=("$c") warm+=("$w") medium+=("$m") plain+=("$p")
    printf '  run %s: --cached %ss, medium after the cache held it %ss, medium cold %ss, cat cold %ss%s\n' \
      "$run" "$c" "$w" "$m" "$p" "${d:+, dd iflag=direct ${d}s}"
  done
  print_median "ovik-verify --cached, destination cached" "$bytes" "${cached[@]}"
  print_median "ovik-verify, destination cached before" "$bytes" "${warm[@]}"
  print_median "ovik-verify, file system just mounted" "$bytes" "${medium[@]}"
  print_median "cat in the same order, file system just mounted" "$bytes" "${plain[@]}"
  if [[ $direct_dd == yes ]]; then
    print_median "dd bs=1M iflag=direct, file system just mounted" "$bytes" "${direct[@]}"
    printf '  medium read against dd iflag=direct: %s%%\n' "$(percent "$(median "${direct[@]}")" "$(median "${medium[@]}")")"
  fi
  printf '  medium read against cat: %s%% cold, %s%% with the destination cached before (target >= 90%%)\n' \
    "$(percent "$(median "${plain[@]}")" "$(median "${medium[@]}")")" \
    "$(percent "$(median "${plain[@]}")" "$(median "${warm[@]}")")"
}

require_loop_support
build_verifier
make_scratch
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"

mkdir -p "$SCRATCH/src/large" "$SCRATCH/src/small" "$SCRATCH/mnt"
echo "making the trees under $SCRATCH ..."
for i in 1 2 3 4; do head -c 256M /dev/urandom >"$SCRATCH/src/large/large$i.bin"; done
if ((SMALL_FILES > 0)); then
  make_random_tree "$SCRATCH/src/small" $(((SMALL_FILES + 99) / 100)) "$SMALL_FILES" 1024 16384
fi
attach_image "$SCRATCH/medium.img" 3G
mount_image "$SCRATCH/mnt"
cp -a "$SCRATCH/src/large" "$SCRATCH/src/small" "$SCRATCH/mnt/"
sync

measure_tree "4 files of 256 MiB" "$SCRATCH/src/large" "$SCRATCH/mnt/large" yes
if ((SMALL_FILES > 0)); then
  measure_tree "$SMALL_FILES files of 1-16 KiB" "$SCRATCH/src/small" "$SCRATCH/mnt/small" no
fi
