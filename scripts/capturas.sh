#!/usr/bin/env bash
# Screenshots of the two windows for the documentation, taken from the real
# program under Xvfb on the demo data: docs/ventana-principal.png and
# docs/control-de-acceso.png.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
demo=${AUTOREP_DEMO:-$raiz/demo}
[ -f "$demo/registro.reg" ] || bash "$raiz/scripts/demo.sh" >/dev/null
export AUTOREP_REGISTRO="$demo/registro.reg"

pantalla=:77
Xvfb "$pantalla" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$pantalla QT_QPA_PLATFORM=xcb
for _ in $(seq 1 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done

# Captures the top-level window whose title is $1 into $2.
capturar() {
  local titulo=$1 destino=$2 linea id
  for _ in $(seq 1 100); do
    linea=$(xwininfo -root -tree | grep -F "\"$titulo\"" | head -n 1 || true)
    [ -n "$linea" ] && break
    sleep 0.1
  done
  [ -n "$linea" ] || { echo "capturas: no apareció la ventana \"$titulo\"" >&2; return 1; }
  sleep 1
  id=$(echo "$linea" | awk '{print $1}')
  import -window "$id" "$destino"
}

# The main window after an unattended start on the demo company.
"$raiz/build/autorep" "$demo/origen" ADMIN "" 001 &
programa=$!
capturar "Envío de información " "$raiz/docs/ventana-principal.png"
kill $programa; wait $programa 2>/dev/null || true

# The login dialog of a normal start.
"$raiz/build/autorep" &
programa=$!
capturar "Control de acceso" "$raiz/docs/control-de-acceso.png"
kill $programa; wait $programa 2>/dev/null || true
echo "capturas: docs/ventana-principal.png docs/control-de-acceso.png"
