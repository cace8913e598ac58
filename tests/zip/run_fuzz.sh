#!/usr/bin/env bash
# Runs the extraction fuzzer for a bounded time from a fresh seed corpus.
# Fails on any crash, leak or sanitizer report (the fuzzer's own exit code),
# and on anything left outside the sandbox's install folder, which the
# fuzzer checks after every input and this script checks once more around it.
# usage: run_fuzz.sh FUZZER SEED_MAKER WORK_FOLDER SECONDS
set -uo pipefail
fuzzer=$(realpath "$1") seed_maker=$(realpath "$2") work=$3 seconds=$4

rm -rf "$work"
mkdir -p "$work/seeds" "$work/corpus" "$work/sandbox" "$work/artifacts"
"$seed_maker" "$work/seeds" || exit 1

cd "$work" || exit 1
QM_FUZZ_SANDBOX="$work/sandbox" "$fuzzer" \
  -max_total_time="$seconds" -max_len=8192 -timeout=30 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix=artifacts/ -report_slow_units=25 \
  corpus seeds 2>fuzz.log
status=$?
tail -n 25 fuzz.log
if [ "$status" -ne 0 ]; then
  echo "fuzzer failed with status $status"
  exit 1
fi

# The work folder holds only what this script made (libFuzzer's own files go
# to artifacts/: a slow input is worth a look, not a failure); the sandbox only the
# package and the install folder's chain.
unexpected=$(find "$work" -mindepth 1 -maxdepth 1 \
  ! -name seeds ! -name corpus ! -name sandbox ! -name artifacts ! -name fuzz.log)
unexpected+=$(find "$work/sandbox" -mindepth 1 -maxdepth 1 ! -name outer ! -name package.zip)
unexpected+=$(find "$work/sandbox/outer" -mindepth 1 -maxdepth 1 ! -name install)
if [ -n "$unexpected" ]; then
  echo "written outside the install folder:"
  echo "$unexpected"
  exit 1
fi
echo "fuzzing passed: $(grep -c . <(ls corpus)) corpus inputs"
