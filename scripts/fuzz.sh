#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for the given seconds (default 180)
# from its seed corpus. Any finding fails the script.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
segundos=${1:-180}
salida=${AUTOREP_FUZZ_BUILD:-$raiz/build-fuzz}
CXX=clang++ cmake -S "$raiz/tests/fuzz" -B "$salida" -G Ninja >/dev/null
cmake --build "$salida" >/dev/null
for objetivo in registro servidores importe; do
  trabajo=$(mktemp -d)
  cp "$raiz/tests/fuzz/semillas/$objetivo/"* "$trabajo/"
  echo "fuzz_$objetivo: ${segundos} s"
  if ! (cd "$trabajo" && "$salida/fuzz_$objetivo" -max_total_time="$segundos" -max_len=4096 "$trabajo" >registro.log 2>&1); then
    tail -n 40 "$trabajo/registro.log"
    echo "fuzz_$objetivo: hallazgo; la entrada quedó en $trabajo" >&2
    exit 1
  fi
  tail -n 1 "$trabajo/registro.log"
  rm -rf "$trabajo"
done
