#!/usr/bin/env bash
# A screenshot of a local HTML file with headless Chromium, for the
# documentation: captura-pagina.sh HTML PNG [ANCHO] [ALTO] (1200 x 1600 by
# default). The browser gets a throwaway profile and no network.
set -euo pipefail
if [ $# -lt 2 ] || [ $# -gt 4 ]; then
  echo "uso: captura-pagina.sh HTML PNG [ANCHO] [ALTO]" >&2
  exit 2
fi
html=$(realpath -- "$1")
png=$(realpath -m -- "$2")
ancho=${3:-1200}
alto=${4:-1600}
[ -f "$html" ] || { echo "captura-pagina: no existe $1" >&2; exit 1; }
command -v chromium >/dev/null || { echo "captura-pagina: falta chromium (apt-get install chromium)" >&2; exit 1; }

perfil=$(mktemp -d)
trap 'rm -rf "$perfil"' EXIT
rm -f "$png"
# No sandbox: Chromium cannot start one as root nor in most containers, and
# the page is a local file of our own.
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$perfil" --hide-scrollbars --window-size="$ancho,$alto" \
  --screenshot="$png" "file://$html" 2>"$perfil/chromium.log" || true
if [ ! -s "$png" ]; then
  cat "$perfil/chromium.log" >&2
  echo "captura-pagina: chromium no hizo la captura" >&2
  exit 1
fi
echo "$png"
