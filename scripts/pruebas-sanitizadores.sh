#!/usr/bin/env bash
# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer
# into build-asan/. Leaks that the Firebird client and engine keep until exit
# are suppressed (tests/sanitizers/lsan.supp); any other finding fails.
set -euo pipefail
cd "$(dirname "$0")/.."
AUTOREP_BUILD=build-asan AUTOREP_CMAKE_OPCIONES=-DAUTOREP_SANITIZE=ON bash scripts/compilar.sh
bash scripts/servidor-prueba.sh start
export AUTOREP_SERVIDOR_PRUEBA=1 QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd build-asan
ctest --output-on-failure -j "$(nproc)" --timeout 900 -LE fuzz
