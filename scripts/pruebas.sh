#!/usr/bin/env bash
# Installs, builds and runs the whole test suite, with the loopback Firebird
# server that the server tests need.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/compilar.sh
bash scripts/servidor-prueba.sh start
export AUTOREP_SERVIDOR_PRUEBA=1 QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j "$(nproc)" --timeout 900
