#!/usr/bin/env bash
# The details list at scale: feeds 1,000,000 and 10,000,000 made-up result
# lines to the window (offscreen) the way a run does, then sorts them,
# picks the errors as "Save errors only" does, scrolls to the end and saves
# every line as a text report. Prints each step's time, the peak memory,
# what the save added to it and the longest the window went without
# handling events, with the targets.
#
#   bench/window.sh [counts...]     (default: 1000000 10000000)
set -euo pipefail

source "$(dirname "$0")/common.sh"
BUILD="$OVIK_ROOT/build/release"
DRIVER="$BUILD/bench/ovik-window-driver"
COUNTS=("$@")
if ((${#COUNTS[@]} == 0)); then COUNTS=(1000000 10000000); fi

log=$(mktemp)
if ! (cd "$OVIK_ROOT" && cmake --preset release -DOVIK_BUILD_BENCH=ON &&
      cmake --build --preset release -j2 --target ovik-window-driver) >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log"
  exit 1
fi
rm -f "$log"

# Targets per count: peak MiB, sort s, filter s.
target_peak() { if (($1 >= 10000000)); then echo 1024; else echo 120; fi; }
target_sort() { if (($1 >= 10000000)); then echo 5; else echo 0.5; fi; }

echo "machine: $(nproc) cores, load $(load_average), $(date -u '+%Y-%m-%d %H:%M UTC')"
for count in "${COUNTS[@]}"; do
  part_begin "the details list, $count lines"
  line=$(QT_QPA_PLATFORM=offscreen "$DRIVER" --lines "$count")
  part_end
  echo "   $line"
  read -r fill sort filter scroll peak save added waited < <(
    sed -E 's/.*fill ([0-9.]+) s, sort ([0-9.]+) s, filter ([0-9.]+) s.*scroll to end ([0-9.]+) s, peak RSS ([0-9]+) MiB, save ([0-9.]+) s, (-?[0-9]+) MiB above the window, events waited at most ([0-9]+) ms.*/\1 \2 \3 \4 \5 \6 \7 \8/' <<<"$line")
  echo "   peak $peak MiB (target <= $(target_peak "$count")): $(awk -v v="$peak" -v l="$(target_peak "$count")" 'BEGIN { print (v <= l) ? "met" : "MISSED" }')"
  echo "   sort $sort s (target <= $(target_sort "$count")): $(verdict "$sort" "$(target_sort "$count")")"
  if ((count >= 10000000)); then
    echo "   fill $fill s (target <= 5): $(verdict "$fill" 5)"
    echo "   filter $filter s (target <= 2): $(verdict "$filter" 2)"
    echo "   scroll to end $scroll s (target <= 2): $(verdict "$scroll" 2)"
    echo "   save as text $save s, $added MiB above the window (target <= 64 MiB): $(verdict "$added" 64)"
    echo "   events waited at most $waited ms while filling, sorting and scrolling (target <= 200): $(verdict "$waited" 200)"
  fi
done
