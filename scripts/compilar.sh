#!/usr/bin/env bash
# Installs what is missing and builds everything into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
salida=${AUTOREP_BUILD:-build}
cmake -S . -B "$salida" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${AUTOREP_CMAKE_OPCIONES:-} >/dev/null
cmake --build "$salida" -j "$(nproc)"
