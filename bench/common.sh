# Helpers shared by the benchmark scripts. Source it; do not run it.

OVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VERIFY="$OVIK_ROOT/build/release/src/cli/ovik-verify"

# Builds the release verifier; shows the build log only when it fails.
build_verifier() {
  local log
  log=$(mktemp)
  if ! (cd "$OVIK_ROOT" && cmake --preset release && cmake --build --preset release --target ovik-verify) >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "build failed" >&2
    exit 1
  fi
  rm -f "$log"
}

# Makes the scratch folder every tree lives in and removes it on exit.
make_scratch() {
  SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/ovik-bench.XXXXXX")
  trap 'cleanup_scratch' EXIT
  trap 'exit 130' INT TERM
}

cleanup_scratch() {
  if declare -F before_scratch_removal >/dev/null; then before_scratch_removal; fi
  rm -rf "$SCRATCH"
}

# Runs a command with output discarded and prints its wall time in seconds.
# Fails when the command's exit status is not the expected one.
wall_seconds() {
  local expected=$1
  shift
  local start=$EPOCHREALTIME status=0
  "$@" >/dev/null 2>&1 || status=$?
  local end=$EPOCHREALTIME
  if [[ $status -ne $expected ]]; then
    echo "unexpected exit status $status (wanted $expected): $*" >&2
    exit 1
  fi
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", e - s }'
}

# Runs a command with output discarded and prints its wall time and its
# processor time (user and system, its children's included) in seconds, as
# "wall:cpu". Fails when the exit status is not the expected one.
wall_and_cpu_seconds() {
  local expected=$1
  shift
  local usage start status=0
  usage=$(mktemp)
  start=$EPOCHREALTIME
  /usr/bin/time -o "$usage" -f "%U %S" "$@" >/dev/null 2>&1 || status=$?
  local end=$EPOCHREALTIME
  if [[ $status -ne $expected ]]; then
    echo "unexpected exit status $status (wanted $expected): $*" >&2
    rm -f "$usage"
    exit 1
  fi
  awk -v s="$start" -v e="$end" '{ printf "%.3f:%.2f\n", e - s, $1 + $2 }' "$usage"
  rm -f "$usage"
}

# Median of the numbers given as arguments.
median() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f\n", a / b }'
}

# Peak resident set size of a command, in KiB.
peak_rss_kib() {
  /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { print $2 }'
}

# Writes `count` files of random bytes, sizes uniform in [min, max], spread
# over `folders` folders under `root`. The same seed gives the same tree.
make_random_tree() {
  local root=$1 folders=$2 count=$3 min=$4 max=$5
  perl -e '
    use strict; use warnings;
    my ($root, $folders, $count, $min, $max) = @ARGV;
    open(my $rnd, "<:raw", "/dev/urandom") or die;
    my $pool = "";
    read($rnd, $pool, 4 << 20) == 4 << 20 or die;
    srand(42);
    my $per = int(($count + $folders - 1) / $folders);
    for my $f (0 .. $folders - 1) {
      my $dir = sprintf("%s/d%03d", $root, $f);
      mkdir $dir or die "$dir: $!";
      for my $i (0 .. $per - 1) {
        last if $f * $per + $i >= $count;
        my $size = $min + int(rand($max - $min + 1));
        my $at = int(rand(length($pool) - $size));
        open(my $out, ">:raw", sprintf("%s/f%03d.bin", $dir, $i)) or die;
        print $out substr($pool, $at, $size);
        close($out) or die;
      }
    }
  ' "$root" "$folders" "$count" "$min" "$max"
}

# --- An idle machine -------------------------------------------------------
# A busy machine slows a one-thread peer more than a many-thread verifier,
# so figures taken beside other work flatter Ovik. Each part of a benchmark
# prints the load average before and after it and the share of the
# processors that other processes used meanwhile; a target is judged only
# when the machine was quiet.

QUIET_LOAD=${QUIET_LOAD:-0.5}      # 1-minute load average at the start of a part
QUIET_SHARE=${QUIET_SHARE:-5}      # per cent of the processors used by others during a part
MACHINE_BUSY=0

load_average() { cut -d' ' -f1-3 /proc/loadavg; }

# Waits (up to `QUIET_WAIT` seconds, default 300) until the 1-minute load
# average falls to QUIET_LOAD, so that a part does not start in the wake of
# the previous one or of making the trees.
wait_until_quiet() {
  local waited=0
  while awk -v l="$(cut -d' ' -f1 /proc/loadavg)" -v q="$QUIET_LOAD" 'BEGIN { exit !(l > q) }'; do
    ((waited >= ${QUIET_WAIT:-300})) && return
    sleep 5
    waited=$((waited + 5))
  done
}

# Processor time in clock ticks: all processors busy, and this script with
# the children it waited for.
busy_ticks() { awk '/^cpu / { print $2 + $3 + $4 + $7 + $8 }' /proc/stat; }
# This script with the children it waited for, and the processes that serve
# a simulated medium (MEDIUM_PIDS), which are part of the work measured.
own_ticks() {
  local pid ticks
  ticks=$(awk '{ print $14 + $15 + $16 + $17 }' "/proc/$$/stat")
  for pid in ${MEDIUM_PIDS:-}; do
    ticks=$((ticks + $(awk '{ print $14 + $15 }' "/proc/$pid/stat" 2>/dev/null || echo 0)))
  done
  echo "$ticks"
}

# Waits until the machine is quiet and notes the load there. A part that
# warms its trees calls it before warming them, so that they are warm when
# its runs begin: this machine evicts cached pages left unused for about a
# minute, and the wait for quiet can be longer than that.
part_quiet() {
  wait_until_quiet
  PART_LOAD=$(load_average)
}

part_begin() {  # title; after part_quiet, the load it noted stands
  [[ -n ${PART_LOAD:-} ]] || part_quiet
  PART_START=$EPOCHREALTIME
  PART_BUSY=$(busy_ticks)
  PART_OWN=$(own_ticks)
  echo
  echo "== $1 (load before: $PART_LOAD)"
}

# Prints the load after the part and what others used; marks the machine
# busy when either says so.
part_end() {
  local share
  share=$(awk -v b0="$PART_BUSY" -v b1="$(busy_ticks)" -v o0="$PART_OWN" -v o1="$(own_ticks)" \
              -v s="$PART_START" -v e="$EPOCHREALTIME" -v hz="$(getconf CLK_TCK)" -v n="$(nproc)" \
              'BEGIN { other = (b1 - b0) - (o1 - o0); if (other < 0) other = 0;
                       printf "%.1f", 100 * other / (hz * n * (e - s)) }')
  echo "   load after: $(load_average); other processes used ${share}% of the processors"
  if awk -v l="${PART_LOAD%% *}" -v q="$QUIET_LOAD" -v s="$share" -v m="$QUIET_SHARE" \
         'BEGIN { exit !(l > q || s > m) }'; then
    MACHINE_BUSY=1
    echo "   the machine was busy: no target of this run is judged"
  fi
  PART_LOAD=
}

# "met" or "MISSED", or "not judged" after a busy part.
verdict() {  # value, limit
  if ((MACHINE_BUSY)); then echo "not judged (busy machine)"; return; fi
  awk -v v="$1" -v l="$2" 'BEGIN { print (v <= l) ? "met" : "MISSED" }'
}
