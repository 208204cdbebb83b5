#!/usr/bin/env bash
# Runs every fuzz harness long: ten million executions each (or FUZZ_RUNS), one at a time at
# the lowest priority, so that a shared machine stays usable. Names restrict the set.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
FUZZ_RUNS="${FUZZ_RUNS:-10000000}" FUZZ_NICE=19 exec bash "$ROOT/tests/fuzz/run.sh" "$@"
