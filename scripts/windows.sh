#!/usr/bin/env bash
# The Windows build: installs MinGW-w64 and Wine, cross-builds
# autorep-lote.exe and the tests without Qt into build-windows/, and runs the
# tests under Wine in a throwaway prefix (build-windows/wine).
#   bash scripts/windows.sh            build and test
#   bash scripts/windows.sh --paquete  then write build-windows/autorep-lote-windows.zip
set -euo pipefail
cd "$(dirname "$0")/.."

paquete=0
case "${1:-}" in
  "") ;;
  --paquete) paquete=1 ;;
  *) echo "uso: bash scripts/windows.sh [--paquete]" >&2; exit 2 ;;
esac

# The cross compiler with POSIX threads, Wine, GoogleTest's sources, and the
# headers shared with the Linux build (Firebird's and two header-only libraries).
packages=(
  cmake ninja-build g++-mingw-w64-x86-64-posix wine64 googletest
  firebird-dev nlohmann-json3-dev libkainjow-mustache-dev
  bsdutils zip
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "windows: these packages are missing and need root: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

salida=build-windows
cmake -S . -B "$salida" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$salida" -j "$(nproc)"

# Console programs need no display; Wine is told not to offer Mono or Gecko.
unset DISPLAY
export WINEPREFIX="$PWD/$salida/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine64=/usr/lib/wine/wine64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "windows: creando el prefijo de Wine $WINEPREFIX"
  "$wine64" wineboot -i >/dev/null 2>&1
fi
(cd "$salida" && ctest --output-on-failure --timeout 300)

if [ "$paquete" -eq 1 ]; then
  carpeta="$salida/paquete"
  rm -rf "$carpeta" "$salida/autorep-lote-windows.zip"
  mkdir -p "$carpeta"
  x86_64-w64-mingw32-strip -o "$carpeta/autorep-lote.exe" "$salida/autorep-lote.exe"
  # LEEME.txt in Windows-1252 with CR LF; its options are the program's own help.
  ayuda=$("$wine64" "$carpeta/autorep-lote.exe" --ayuda | tr -d '\r' | iconv -f CP1252 -t UTF-8)
  plantilla=scripts/windows/LEEME.txt
  { sed '/@AYUDA@/,$d' "$plantilla"; printf '%s\n' "$ayuda"; sed '1,/@AYUDA@/d' "$plantilla"; } |
    sed 's/$/\r/' | iconv -f UTF-8 -t CP1252 > "$carpeta/LEEME.txt"
  (cd "$carpeta" && zip -q -X ../autorep-lote-windows.zip autorep-lote.exe LEEME.txt)
  echo "windows: paquete $salida/autorep-lote-windows.zip"
fi
