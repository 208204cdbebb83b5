#!/usr/bin/env bash
# Runs the fuzz harnesses one after another on their corpora and reports, per harness, the
# executions and the findings. Exits 1 when any harness found something.
#
#   FUZZ_TIME=20 tests/fuzz/run.sh                  each harness for 20 s (the CI smoke run)
#   FUZZ_RUNS=10000000 tests/fuzz/run.sh [names]    each for ten million executions
#
# Builds into build-fuzz/ first (tests/fuzz/build.sh). The working corpora grow in
# build-fuzz/corpus/<harness>/, seeded from our own files by make_corpus.py; a finding is kept
# in build-fuzz/findings/<harness>/ with the log in build-fuzz/logs/<harness>.log.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"
NICE="${FUZZ_NICE:-19}"

bash "$ROOT/tests/fuzz/build.sh" || exit 2
SEEDS="$BUILD/seeds"
rm -rf "$SEEDS"
EXTRA=()
for f in "$ROOT"/build/dist/folioMake/folioPage/folioPage.dat; do
  [ -f "$f" ] && EXTRA+=("$f")
done
python3 "$ROOT/tests/fuzz/make_corpus.py" "$SEEDS" "${EXTRA[@]}" || exit 2

# Longest input per harness: PE-sized inputs are held to a few KB so that each execution
# stays cheap; a small seed book is under 2 KB.
declare -A MAXLEN=(
  [fuzz_pe_reader]=2048 [fuzz_resource_writer]=2048 [fuzz_icon]=2048 [fuzz_book]=2048
  [fuzz_profile]=1024 [fuzz_she]=4096 [fuzz_links]=2048 [fuzz_respath]=512
)
HARNESSES=("$@")
if [ "${#HARNESSES[@]}" -eq 0 ]; then
  HARNESSES=(fuzz_respath fuzz_she fuzz_pe_reader fuzz_profile fuzz_links fuzz_book
             fuzz_resource_writer fuzz_icon)
fi
if [ -n "${FUZZ_RUNS:-}" ]; then
  LIMIT=(-runs="$FUZZ_RUNS")
else
  LIMIT=(-max_total_time="${FUZZ_TIME:-20}")
fi
SYMBOLIZER="$(command -v llvm-symbolizer-16 || command -v llvm-symbolizer || true)"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}${SYMBOLIZER:+:external_symbolizer_path=$SYMBOLIZER}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

status=0
printf '%-22s %12s %10s %s\n' harness executions exec/s findings
for h in "${HARNESSES[@]}"; do
  corpus="$BUILD/corpus/$h"
  findings="$BUILD/findings/$h"
  log="$BUILD/logs/$h.log"
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  start=$(date +%s)
  nice -n "$NICE" "$BUILD/$h" "${LIMIT[@]}" -max_len="${MAXLEN[$h]}" -rss_limit_mb=2048 \
    -timeout=10 -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$SEEDS/$h" \
    > "$log" 2>&1
  rc=$?
  secs=$(($(date +%s) - start))
  execs=$(grep -ao 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}' | tail -1)
  # Slow units are kept for a look but are no faults (a busy machine makes them).
  found=$(find "$findings" -name 'crash-*' -o -name 'oom-*' -o -name 'timeout-*' -o -name 'leak-*' | wc -l)
  printf '%-22s %12s %10s %s\n' "$h" "${execs:-?}" "$(( ${execs:-0} / (secs > 0 ? secs : 1) ))" \
    "$found"
  if [ "$rc" -ne 0 ] || [ "$found" -ne 0 ]; then
    status=1
    grep -a -m3 -E 'fuzz:|ERROR|SUMMARY' "$log" | sed 's/^/    /'
  fi
done
exit "$status"
