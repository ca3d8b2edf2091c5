#!/usr/bin/env bash
# Runs every fuzzing harness of a build folder for FUZZ_SECONDS seconds each (default 600)
# and prints the executions per harness. New inputs go to <build>/fuzz-corpus/<name>/,
# crashes to <build>/fuzz-artifacts/<name>/; the seeds in fuzz/corpus/ are only read.
# FUZZ_TARGETS="items http_reply" limits the run to those harnesses.
#
#   scripts/fuzz.sh [build folder]      (default build/fuzz)
set -uo pipefail

build=${1:-build/fuzz}
seconds=${FUZZ_SECONDS:-600}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
targets=${FUZZ_TARGETS:-$(cd "$build/fuzz" && ls ./*_fuzz | sed 's|^\./||; s|_fuzz$||')}

failed=0
summary=""
for name in $targets; do
  program="$build/fuzz/${name}_fuzz"
  corpus="$build/fuzz-corpus/$name"
  artifacts="$build/fuzz-artifacts/$name"
  log="$build/fuzz-logs/$name.log"
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  seeds=("$source_dir/fuzz/corpus/$name")
  [ -d "$source_dir/fuzz/regressions/$name" ] && seeds+=("$source_dir/fuzz/regressions/$name")
  echo "=== $name: ${seconds} s"
  "$program" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" "${seeds[@]}" >"$log" 2>&1
  status=$?
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
  result="ok"
  if [ "$status" -ne 0 ]; then
    result="FAILED (exit $status; $(ls "$artifacts" | tail -1); log $log)"
    failed=1
    grep -a -m3 -E 'ERROR|property broken|runtime error' "$log"
  fi
  summary+=$(printf '%-16s %12s execs  %6s edges  %s' "$name" "${execs:-?}" "${coverage:-?}" "$result")$'\n'
done
echo
echo "harness               execs        edges  (${seconds} s each)"
printf '%s' "$summary"
exit $failed
