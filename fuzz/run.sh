#!/usr/bin/env bash
# Runs each fuzz target built by the `fuzz` preset for SECONDS over a scratch copy of its
# seed corpus (the committed corpus never grows), and fails when any target finds a crash,
# a leak, a timeout or a run out of memory. Builds nothing:
#   cmake --preset fuzz && cmake --build --preset fuzz && fuzz/run.sh 60
#
# Usage: fuzz/run.sh SECONDS [target...]    (default: every target)
# A finding is saved under FUZZ_OUT/<target>/findings/; rerun it with
#   build/fuzz/fuzz/<target> FILE   (GMGATHER_FUZZ_VERBOSE=1 shows how a whole run ended)
#
# Environment: FUZZ_OUT  where logs, findings and the grown corpora go
#                        (default build/fuzz/fuzz-runs; a run replaces its target's folder)
#              FUZZ_JOBS targets run at the same time (default 1)
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

seconds=${1:-}
if [[ ! $seconds =~ ^[0-9]+$ ]]; then
  echo "usage: fuzz/run.sh SECONDS [target...]" >&2
  exit 2
fi
shift
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(fuzz_record_reader fuzz_number_format fuzz_whole_run fuzz_check_files fuzz_hints)
out=${FUZZ_OUT:-$root/build/fuzz/fuzz-runs}
out=$(mkdir -p "$out" && cd "$out" && pwd)  # absolute: fuzz_whole_run changes folders
jobs=${FUZZ_JOBS:-1}

# The longest input each target is given: a number text with room for long mantissas;
# records longer than the reader's smallest buffer (16 KiB); a whole run holding complete
# spectrum tables of realistic width.
max_len() {
  case $1 in
    fuzz_number_format) echo 4096 ;;
    fuzz_record_reader) echo 40000 ;;
    *) echo 65536 ;;
  esac
}

run_one() {
  local target=$1 bin=$root/build/fuzz/fuzz/$1 dir=$out/$1
  if [[ ! -x $bin ]]; then
    echo "$target: not built ($bin)" >&2
    return 1
  fi
  rm -rf "$dir"
  mkdir -p "$dir/findings"
  cp -r "$root/fuzz/corpus/$target" "$dir/corpus"
  local dict=()
  [[ -f $root/fuzz/$target.dict ]] && dict=(-dict="$root/fuzz/$target.dict")
  local start=$SECONDS rc
  "$bin" "$dir/corpus" "${dict[@]}" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
    -max_len="$(max_len "$target")" -artifact_prefix="$dir/findings/" -print_final_stats=1 \
    > "$dir/log" 2>&1
  rc=$?
  local done_line
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$dir/log" | tail -1)
  echo "$target: exit $rc after $((SECONDS - start)) s; ${done_line:-no final line}"
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$dir/log" | sed 's/^/  /'
  echo "  corpus: $(find "$dir/corpus" -type f | wc -l) files, $(du -sb "$dir/corpus" | cut -f1) bytes"
  if [[ $rc -ne 0 ]] || [[ -n $(ls -A "$dir/findings") ]]; then
    echo "  FINDING: see $dir/log and $dir/findings/" >&2
    grep -E 'ERROR|fuzz check failed|SUMMARY|runtime error' "$dir/log" | head -5 | sed 's/^/  /' >&2
    return 1
  fi
}

failed=0
running=0
for target in "${targets[@]}"; do
  if [[ $jobs -le 1 ]]; then
    run_one "$target" || failed=1
  else
    run_one "$target" > "$out/$target.summary" 2>&1 &
    running=$((running + 1))
    if [[ $running -ge $jobs ]]; then
      wait -n || failed=1
      running=$((running - 1))
    fi
  fi
done
if [[ $jobs -gt 1 ]]; then
  while [[ $running -gt 0 ]]; do
    wait -n || failed=1
    running=$((running - 1))
  done
  for target in "${targets[@]}"; do cat "$out/$target.summary"; done
fi
exit $failed
