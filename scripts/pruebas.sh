#!/usr/bin/env bash
# Installs, builds and runs the whole test suite, with the loopback Firebird
# server that the server tests need; then the Windows build's tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/compilar.sh
bash scripts/servidor-prueba.sh start
export AUTOREP_SERVIDOR_PRUEBA=1 QT_QPA_PLATFORM=offscreen
(cd build && ctest --output-on-failure -j "$(nproc)" --timeout 900)
# The Windows build, cross-built, and its tests under Wine.
bash scripts/windows.sh
