#!/usr/bin/env bash
# Starts the loopback Firebird server for the tests that need a network or
# authentication, and makes sure the test user exists. Safe to run again.
# Usage: servidor-prueba.sh [start|stop]
set -euo pipefail

usuario=AUTOREP
clave=Clave1
puerto=3050

escuchando() { (exec 3<>/dev/tcp/127.0.0.1/$puerto) 2>/dev/null; }

sysdba_clave() {
  # shellcheck disable=SC1091
  . /etc/firebird/3.0/SYSDBA.password
  echo "$ISC_PASSWORD"
}

case "${1:-start}" in
  stop)
    pkill -x fbguard 2>/dev/null || true
    pkill -x firebird 2>/dev/null || true
    exit 0
    ;;
  start) ;;
  *) echo "uso: $0 [start|stop]" >&2; exit 2 ;;
esac

if ! escuchando; then
  install -d -o firebird -g firebird /run/firebird /var/run/firebird 2>/dev/null || true
  install -d -m 1777 /tmp/firebird
  runuser -u firebird -- /usr/sbin/fbguard -daemon -forever
  for _ in $(seq 1 100); do
    escuchando && break
    sleep 0.1
  done
  escuchando || { echo "servidor-prueba: el servidor Firebird no responde en el puerto $puerto" >&2; exit 1; }
fi

# The test user, created through the server in a scratch database of its own
# (the security database takes no remote connection).
export ISC_USER=SYSDBA ISC_PASSWORD
ISC_PASSWORD=$(sysdba_clave)
auxiliar=/tmp/firebird/autorep-usuarios.fdb
if [ ! -f "$auxiliar" ]; then
  echo "CREATE DATABASE 'localhost:$auxiliar';" | isql-fb -q >/dev/null
fi
printf "CREATE OR ALTER USER %s PASSWORD '%s';\nCOMMIT;\n" "$usuario" "$clave" |
  isql-fb -q "localhost:$auxiliar" >/dev/null
echo "servidor-prueba: Firebird escucha en 127.0.0.1:$puerto (usuario $usuario)"
