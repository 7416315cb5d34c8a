#!/usr/bin/env bash
# One fuzz target under ctest: every regression input once, then a bounded
# run with a fixed seed from the seed corpus.
#   run_fuzz.sh BINARY NAME SECONDS FUZZ_SOURCE_DIR WORK_DIR MAX_LEN
# New inputs the run finds go to WORK_DIR/corpus (emptied first, so that two
# runs start alike); a crashing input goes to WORK_DIR/artifacts. Copy it to
# FUZZ_SOURCE_DIR/regressions/NAME/ together with the fix.
set -euo pipefail
binary=$1 name=$2 seconds=$3 source=$4 work=$5 max_len=$6

seeds=$source/corpus/$name
regressions=$source/regressions/$name
[ -x "$binary" ] || { echo "$binary: not built"; exit 1; }
[ -d "$seeds" ] || { echo "$seeds: no seed corpus"; exit 1; }

rm -rf "$work/corpus"
mkdir -p "$work/corpus" "$work/artifacts"

shopt -s nullglob
cases=("$regressions"/*)
if [ ${#cases[@]} -gt 0 ]; then
  echo "== $name: ${#cases[@]} regression input(s)"
  "$binary" -artifact_prefix="$work/artifacts/" "${cases[@]}"
fi

echo "== $name: fuzzing for ${seconds}s from $(ls "$seeds" | wc -l) seed(s)"
exec "$binary" -seed=1 -max_total_time="$seconds" -max_len="$max_len" -timeout=20 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds"
