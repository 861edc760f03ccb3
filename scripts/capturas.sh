#!/usr/bin/env bash
# Screenshots of the two windows for the documentation, taken from the real
# program under Xvfb on the demo data: docs/ventana-principal.png and
# docs/control-de-acceso.png. The program comes from the build folder
# AUTOREP_BUILD (build/ by default); the demo data from AUTOREP_DEMO (demo/ by
# default), made by scripts/demo.sh when missing. The pictures show the demo's
# paths, so a folder outside the checkout keeps the checkout's path out of them.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
compilado=${AUTOREP_BUILD:-build}
[[ $compilado == /* ]] || compilado=$raiz/$compilado
export AUTOREP_BUILD=$compilado
demo=${AUTOREP_DEMO:-$raiz/demo}
# Without a display the demo opens no window of its own.
[ -f "$demo/registro.reg" ] || AUTOREP_DEMO=$demo env -u DISPLAY bash "$raiz/scripts/demo.sh" >/dev/null
export AUTOREP_REGISTRO="$demo/registro.reg"

pantalla=:77
Xvfb "$pantalla" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
programa=
# Ends process $1: asks first, and kills it when it has not gone after a few
# seconds, so that a program that ignores SIGTERM cannot hang the script.
terminar() {
  local pid=$1
  [ -n "$pid" ] || return 0
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null || true
}
trap 'terminar "$programa"; terminar $xvfb' EXIT
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
"$compilado/autorep" "$demo/origen" ADMIN "" 001 &
programa=$!
capturar "Envío de información " "$raiz/docs/ventana-principal.png"
terminar "$programa"
programa=

# The login dialog of a normal start.
"$compilado/autorep" &
programa=$!
capturar "Control de acceso" "$raiz/docs/control-de-acceso.png"
terminar "$programa"
programa=
echo "capturas: docs/ventana-principal.png docs/control-de-acceso.png"
