#!/usr/bin/env bash
# Stops gmgather at every point of its run where a file call starts, and checks what the
# folder holds afterwards. In a copy of an example folder that holds an earlier result
# set, the run is stopped at the N-th call of rename, fdatasync, fsync, unlink, close,
# write or openat, for every N the run reaches (strace -e inject=CALL:signal=SIG:when=N;
# strace counts the calls of each thread apart, so with threads N runs up to the most
# any thread makes). Once with GMGATHER_THREADS=1 and once with the default threads.
#
#   tools/crash_points.sh [--signal KILL|INT] [--threads "1 default"] [--earlier-page] GMGATHER [EXAMPLE]
#
# KILL (the default) is a crash or a power cut as the program sees it: the run is killed,
# then started once more (gmgather nosuch.csv, which must end with E1, status 1) so that
# it finishes what the killed run left. INT is Ctrl+C: no second start; the run must end
# by itself with status 130 (or 0, when the set was already in place). Either way the
# folder must then hold exactly the earlier set or the new one, byte for byte, and no
# NAME.part, NAME.old or gmgather-unfinished.txt.
#
# --earlier-page puts a report page into the earlier set: the new set (written without
# --report) has none, so a run that puts its set in place removes the earlier page.
#
# EXAMPLE is examples/realistic unless given; the run reads EXAMPLE/def.csv and writes
# into a scratch copy. Exit status 0 when every point passes, 1 when any fails (each is
# listed), 77 when strace cannot trace here. Needs strace (Debian package strace).
set -uo pipefail

signal=KILL
threads_list="1 default"
earlier_page=0
while [ $# -gt 0 ]; do
  case $1 in
    --signal) signal=$2; shift 2 ;;
    --threads) threads_list=$2; shift 2 ;;
    --earlier-page) earlier_page=1; shift ;;
    -*) echo "crash_points: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
[ $# -ge 1 ] || { sed -n 's/^#   \(tools\/crash_points.sh .*\)/usage: \1/p' "$0" >&2; exit 2; }
gmgather=$(realpath "$1")
example=$(realpath "${2:-$(dirname "$0")/../examples/realistic}")
calls=${CRASH_POINT_CALLS:-rename fdatasync fsync unlink close write openat}
page=$(printf '\x8e\x51\x8d\x6c\xa5\x8c\x8b\x89\xca\x90\x7d\x95\x5c.html' | iconv -f CP932 -t UTF-8)  # 参考･結果図表.html
case $signal in KILL | INT) ;; *) echo "crash_points: --signal KILL or INT" >&2; exit 2 ;; esac

command -v strace >/dev/null || { echo "crash_points: strace not found: skipped" >&2; exit 77; }
strace -f -qq -o /dev/null /bin/true 2>/dev/null || { echo "crash_points: strace cannot trace here: skipped" >&2; exit 77; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
work=$scratch/work
mkdir -p "$scratch/new" "$scratch/earlier"
cp -r "$example" "$work"
inputs=$(ls -A "$work")  # what the example brings; everything else is the run's

# The top-level entries the run made, one a line.
run_made() {
  ls -A "$work" | grep -vxF "$inputs"
}

# The new set: a run of its own on a clean copy.
(cd "$work" && "$gmgather" def.csv </dev/null >/dev/null 2>&1) || { echo "crash_points: the plain run failed" >&2; exit 1; }
names=$(run_made)
while IFS= read -r name; do mv "$work/$name" "$scratch/new/$name"; done <<<"$names"
# The earlier set: the same names with other bytes, and a page when asked.
earlier_names=$names
[ $earlier_page = 1 ] && earlier_names=$(printf '%s\n%s' "$names" "$page")
while IFS= read -r name; do printf 'an earlier run wrote %s\r\n' "$name" >"$scratch/earlier/$name"; done <<<"$earlier_names"

# Back to the earlier set, with nothing else the run made.
reset_folder() {
  run_made | while IFS= read -r name; do rm -rf "${work:?}/$name"; done
  cp "$scratch/earlier/"* "$work/"
}

# Whether the folder holds exactly the set in `$1` (a folder of reference files).
holds_set() {
  [ "$(run_made | LC_ALL=C sort)" = "$(ls -A "$1" | LC_ALL=C sort)" ] || return 1
  local name
  for name in "$1"/*; do cmp -s "$name" "$work/${name##*/}" || return 1; done
}

# What the folder holds, for a failure's line: each name the run made, marked.
describe_folder() {
  run_made | LC_ALL=C sort | while IFS= read -r name; do
    if [ -f "$scratch/new/$name" ] && cmp -s "$scratch/new/$name" "$work/$name"; then
      echo -n " $name=new"
    elif [ -f "$scratch/earlier/$name" ] && cmp -s "$scratch/earlier/$name" "$work/$name"; then
      echo -n " $name=earlier"
    else
      echo -n " $name"
    fi
  done
}

# The most calls of each kind one thread makes in a run.
count_calls() {  # threads
  reset_folder
  local trace=$scratch/trace
  (cd "$work" && env ${1:+GMGATHER_THREADS=$1} strace -f -qq -o "$trace" -e trace="${calls// /,}" \
    "$gmgather" def.csv </dev/null >/dev/null 2>&1)
  # Lines: "PID call(...", or "PID <... call resumed>" for a call another thread interrupted.
  sed -n 's/^\([0-9]*\) *\([a-z0-9_]*\)(.*/\1 \2/p' "$trace" | sort | uniq -c |
    awk '{ if ($1 > most[$3]) most[$3] = $1 } END { for (c in most) print c, most[c] }'
}

points=0
failures=0
started=$SECONDS
for threads in $threads_list; do
  [ "$threads" = default ] && threads_setting= || threads_setting=$threads
  declare -A most=()
  while read -r call count; do most[$call]=$count; done < <(count_calls "$threads_setting")
  for call in $calls; do
    passed=0
    not_stopped=0
    for ((n = 1; n <= ${most[$call]:-0}; n++)); do
      reset_folder
      # (--seccomp-bpf would be faster, but strace 6.1 then injects nothing.) The shell's
      # own "Killed" line is not wanted.
      (cd "$work" && env ${threads_setting:+GMGATHER_THREADS=$threads_setting} \
        strace -f -qq -o /dev/null -e trace="$call" -e inject="$call:signal=$signal:when=$n" \
        "$gmgather" def.csv </dev/null >/dev/null 2>"$scratch/err") 2>/dev/null
      status=$?
      [ $signal = KILL ] && [ $status != 137 ] && not_stopped=$((not_stopped + 1))
      problem=
      if [ $signal = KILL ]; then
        (cd "$work" && "$gmgather" nosuch.csv </dev/null >/dev/null 2>"$scratch/err2")
        after=$?
        [ $after = 1 ] || problem="the next start ended with status $after;"
      elif [ $status != 130 ] && [ $status != 0 ]; then
        problem="status $status;"
      fi
      if holds_set "$scratch/earlier"; then
        set_left=earlier
      elif holds_set "$scratch/new"; then
        set_left=new
      else
        problem="$problem folder:$(describe_folder)"
      fi
      [ $signal = INT ] && [ $status = 0 ] && [ "${set_left:-}" = earlier ] && problem="status 0 without the new set;"
      points=$((points + 1))
      if [ -n "$problem" ]; then
        failures=$((failures + 1))
        echo "FAIL threads=$threads $call #$n (status $status): $problem"
      else
        passed=$((passed + 1))
      fi
      set_left=
    done
    echo "threads=$threads $call: $passed of ${most[$call]:-0} points pass" \
      "$([ $not_stopped = 0 ] || echo "($not_stopped runs ended before their point)")"
  done
  unset most
done
echo "crash_points: $signal at $points points, $failures failing, $((SECONDS - started)) s"
[ $failures = 0 ]
