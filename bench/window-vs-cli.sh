#!/usr/bin/env bash
# Times a verify in the window (offscreen) against `ovik-verify --cached` on
# the same tree: 50,000 files of 1 to 16 KiB in 500 folders, the destination
# an exact copy. Prints both medians and their ratio (target: at most 1.3).
#
#   bench/window-vs-cli.sh [runs]
set -euo pipefail

source "$(dirname "$0")/common.sh"
ROOT=$OVIK_ROOT
RUNS=${1:-5}
BUILD="$ROOT/build/release"
VERIFY="$BUILD/src/cli/ovik-verify"
DRIVER="$BUILD/bench/ovik-window-driver"

build() {
  local log
  log=$(mktemp)
  if ! (cd "$ROOT" && cmake --preset release -DOVIK_BUILD_BENCH=ON &&
        cmake --build --preset release -j2 --target ovik-verify ovik-window-driver) >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
}

# 500 folders of 100 files each, sizes spread evenly over 1..16 KiB.
make_tree() {
  local dir=$1
  python3 - "$dir" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(7)
for folder in range(500):
    path = os.path.join(root, "src", f"folder{folder:03d}")
    os.makedirs(path)
    for n in range(100):
        size = rng.randint(1024, 16384)
        with open(os.path.join(path, f"file{n:03d}.bin"), "wb") as f:
            f.write(rng.randbytes(size))
PY
  cp -a "$dir/src" "$dir/dst"
}

seconds_of() {
  local start=$EPOCHREALTIME
  "$@" >/dev/null 2>&1
  awk -v s="$start" -v e="$EPOCHREALTIME" 'BEGIN { printf "%.3f\n", e - s }'
}

build
SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/ovik-window-bench.XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT
make_tree "$SCRATCH"

# One untimed pass of each warms the page cache.
"$VERIFY" --cached "$SCRATCH/src" "$SCRATCH/dst" >/dev/null
QT_QPA_PLATFORM=offscreen "$DRIVER" --cached "$SCRATCH/src" "$SCRATCH/dst" >/dev/null 2>&1

cli=() window=()
part_begin "the window against ovik-verify, 50,000 files of 1-16 KiB, warm"
for ((i = 0; i < RUNS; i++)); do
  cli+=("$(seconds_of "$VERIFY" --cached "$SCRATCH/src" "$SCRATCH/dst")")
  # The whole process, start-up and window included, with the details shown.
  window+=("$(QT_QPA_PLATFORM=offscreen seconds_of "$DRIVER" --cached --details "$SCRATCH/src" "$SCRATCH/dst")")
done
part_end
cli_median=$(median "${cli[@]}")
window_median=$(median "${window[@]}")
echo "ovik-verify --cached: ${cli_median} s (runs: ${cli[*]})"
echo "window, offscreen:    ${window_median} s (runs: ${window[*]})"
ratio=$(ratio "$window_median" "$cli_median")
echo "ratio window/cli:     $ratio (target <= 1.3): $(verdict "$ratio" 1.3)"
