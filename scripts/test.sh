#!/usr/bin/env bash
# Builds the default preset and runs the whole test suite (ctest -j2).
# First installs the packages the build and the suite need that the machine
# lacks (scripts/deps.sh build test; SYSDATA_NO_INSTALL=1 skips that).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build test
cmake --preset default >/dev/null
cmake --build --preset default -j2
ctest --preset default "$@"
