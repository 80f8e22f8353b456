#!/usr/bin/env bash
# Sets up the machine, builds Quorvex into build/ and starts it.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
exec build/quorvex "$@"
