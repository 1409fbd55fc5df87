#!/usr/bin/env bash
# The mutation check: plants each fault of tests/mutations.txt in turn, rebuilds the tests
# incrementally in build-mutate/, runs them and prints the faults that no test noticed, and the
# score. Every changed file is restored, also when the run is interrupted.
#   bash scripts/mutate.sh [--build DIR] [--jobs N] [FAULT NAME...]
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 scripts/mutate.py "$@"
