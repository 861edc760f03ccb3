#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  firebird-dev libfbclient2 firebird3.0-server-core firebird3.0-server firebird3.0-utils
  libgtest-dev nlohmann-json3-dev libkainjow-mustache-dev
  chromium
  xvfb x11-utils xauth imagemagick
  netcat-openbsd procps
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: these packages are missing and need root: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  # The server package asks for a SYSDBA password through debconf; let it pick one.
  echo "firebird3.0-server shared/firebird/enabled boolean false" | debconf-set-selections || true
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
