#!/usr/bin/env bash
# The main job on demo data: installs and builds what is missing, creates a
# small company in embedded Firebird databases under demo/ (an origin and a
# destination replica with a few documents missing and a few amounts
# different), runs autorep-lote for several document types and prints the
# reports and summaries. Running it again starts from fresh data. The programs
# come from the build folder AUTOREP_BUILD (build/ by default), the one
# scripts/compilar.sh builds into.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
# The test suite runs this script on a build it has already made.
[ -n "${AUTOREP_SIN_COMPILAR:-}" ] || bash "$raiz/scripts/compilar.sh"
compilado=${AUTOREP_BUILD:-build}
[[ $compilado == /* ]] || compilado=$raiz/$compilado

demo=${AUTOREP_DEMO:-$raiz/demo}
rm -rf "$demo"
mkdir -p "$demo/origen/datos/001" "$demo/destino/datos/001" "$demo/origen/datos/002" "$demo/destino/datos/002" "$demo/app"
sql="$raiz/scripts/sql"
mes=$(date +%Y-%m)

# Runs an isql script in embedded mode on a new database.
crear_base() {
  local ruta=$1 esquema=$2 datos=$3
  {
    echo "SET SQL DIALECT 3;"
    echo "CREATE DATABASE '$ruta' USER 'SYSDBA' PAGE_SIZE 8192;"
    cat "$esquema"
    echo "COMMIT;"
    cat "$datos"
    echo "COMMIT;"
  } | isql-fb -q -b >/dev/null
}

importe() { printf '%d.%02d' $(($1 / 100)) $(($1 % 100)); }

origen_sql="$demo/origen.sql"
destino_sql="$demo/destino.sql"
: >"$origen_sql"
: >"$destino_sql"
audi=0
auditar() {  # dia hora tipo iddoc oper codigo
  audi=$((audi + 1))
  echo "INSERT INTO AUDITORIA (AUDI_ID, AUDI_USUARIO, AUDI_FECHA, AUDI_HORA, TIDO_COD, AUDI_IDDOC, AUDI_OPER, AUDI_COD, AUDI_ENVIO) VALUES ($audi, 'ADMIN', '$mes-$1', '$2', $3, $4, '$5', '$6', 'N');" >>"$origen_sql"
}
for f in "$origen_sql" "$destino_sql"; do
  echo "INSERT INTO SUCURSALES VALUES (1, 'Casa matriz', 'Av. Principal 100', '555-0100');" >>"$f"
  echo "INSERT INTO SUCURSALES VALUES (2, 'Sucursal Norte', 'Calle 8 #12', '555-0200');" >>"$f"
done

# Purchase invoices (type 21): 12, two missing in the replica, two with another amount.
for i in $(seq 1 12); do
  num=$(printf '%06d' "$i"); monto=$((i * 104375 % 900000 + 1250))
  echo "INSERT INTO FACTURAS_COMPRA VALUES ($((100 + i)), 'FC', '$num', $(importe $monto));" >>"$origen_sql"
  case $i in
    4 | 9) ;;
    6 | 11) echo "INSERT INTO FACTURAS_COMPRA VALUES ($((500 + i)), 'FC', '$num', $(importe $((monto - 1000))));" >>"$destino_sql" ;;
    *) echo "INSERT INTO FACTURAS_COMPRA VALUES ($((500 + i)), 'FC', '$num', $(importe $monto));" >>"$destino_sql" ;;
  esac
  auditar "$(printf '%02d' $((i * 2)))" "09:$(printf '%02d' "$i"):00" 21 $((100 + i)) I "FC$num"
done
auditar 25 "16:20:00" 21 105 U FC000005
auditar 26 "11:00:00" 21 113 I FC000013   # deleted from the origin afterwards

# Invoices (type 31, eight-digit numbers): one missing in the replica.
for i in $(seq 1 8); do
  num=$(printf '%08d' "$i"); monto=$((i * 33333 + 990))
  echo "INSERT INTO FACTURAS VALUES ($((200 + i)), 'FV', '$num', $(importe $monto));" >>"$origen_sql"
  [ "$i" -eq 7 ] || echo "INSERT INTO FACTURAS VALUES ($((600 + i)), 'FV', '$num', $(importe $monto));" >>"$destino_sql"
  auditar "$(printf '%02d' $((i * 3)))" "10:$(printf '%02d' "$i"):30" 31 $((200 + i)) I "FV$num"
done

# Cash receipts (type 61): all replicated.
for i in $(seq 1 6); do
  num=$(printf '%06d' "$i"); monto=$((i * 15000))
  echo "INSERT INTO RECIBOS_CAJA VALUES ($((300 + i)), 'RC', '$num', $(importe $monto));" >>"$origen_sql"
  echo "INSERT INTO RECIBOS_CAJA VALUES ($((700 + i)), 'RC', '$num', $(importe $monto));" >>"$destino_sql"
  auditar "$(printf '%02d' $((i * 4)))" "14:00:0$i" 61 $((300 + i)) I "RC$num"
done

# Accounting vouchers (type 1): one missing in the replica, one with another credit.
for i in $(seq 1 5); do
  num=$(printf '%06d' "$i"); monto=$((i * 250000))
  echo "INSERT INTO COMPROBANTE_ENCABEZADO VALUES ($((400 + i)), 'CD', 'CP', '$num', '$mes-0$i');" >>"$origen_sql"
  echo "INSERT INTO COMPROBANTE_DETALLE VALUES ($((4000 + 2 * i)), $((400 + i)), $(importe $monto), 0);" >>"$origen_sql"
  echo "INSERT INTO COMPROBANTE_DETALLE VALUES ($((4001 + 2 * i)), $((400 + i)), 0, $(importe $monto));" >>"$origen_sql"
  if [ "$i" -ne 3 ]; then
    credito=$monto; [ "$i" -eq 5 ] && credito=$((monto - 5000))
    echo "INSERT INTO COMPROBANTE_ENCABEZADO VALUES ($((800 + i)), 'CD', 'CP', '$num', '$mes-0$i');" >>"$destino_sql"
    echo "INSERT INTO COMPROBANTE_DETALLE VALUES ($((8000 + 2 * i)), $((800 + i)), $(importe $monto), 0);" >>"$destino_sql"
    echo "INSERT INTO COMPROBANTE_DETALLE VALUES ($((8001 + 2 * i)), $((800 + i)), 0, $(importe $credito));" >>"$destino_sql"
  fi
  auditar "0$i" "08:30:00" 1 $((400 + i)) I "CP$num"
done

crear_base "$demo/origen/datos/general.fdb" "$sql/general.sql" /dev/stdin <<'DATOS'
INSERT INTO COMPANIA (COMP_COD, COM_NOMBRE, COMP_NIT) VALUES ('001', 'Comercial Andina S.A.', '900123456-7');
INSERT INTO COMPANIA (COMP_COD, COM_NOMBRE, COMP_NIT) VALUES ('002', 'Distribuidora del Sur Ltda.', '800765432-1');
INSERT INTO USUARIO VALUES ('ADMIN', 'Administrador');
INSERT INTO USUARIO VALUES ('OPERADOR', 'Operador de turno');
DATOS
crear_base "$demo/origen/datos/001/quorix.fdb" "$sql/compania.sql" "$origen_sql"
crear_base "$demo/destino/datos/001/quorix.fdb" "$sql/compania.sql" "$destino_sql"

# The second company, fully replicated: purchase invoices and cash receipts.
origen_sql="$demo/origen002.sql"
destino_sql="$demo/destino002.sql"
: >"$origen_sql"
: >"$destino_sql"
for i in $(seq 1 5); do
  num=$(printf '%06d' "$i")
  for f in "$origen_sql" "$destino_sql"; do
    echo "INSERT INTO FACTURAS_COMPRA VALUES ($((100 + i)), 'FS', '$num', $(importe $((i * 73125))));" >>"$f"
    echo "INSERT INTO RECIBOS_CAJA VALUES ($((300 + i)), 'RS', '$num', $(importe $((i * 20000))));" >>"$f"
  done
  auditar "$(printf '%02d' $((i * 5)))" "11:00:0$i" 21 $((100 + i)) I "FS$num"
  auditar "$(printf '%02d' $((i * 5)))" "15:30:0$i" 61 $((300 + i)) I "RS$num"
done
crear_base "$demo/origen/datos/002/quorix.fdb" "$sql/compania.sql" "$origen_sql"
crear_base "$demo/destino/datos/002/quorix.fdb" "$sql/compania.sql" "$destino_sql"
chmod -R a+rwX "$demo"

# The registry: the application directory and a day-first date format.
cat >"$demo/registro.reg" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan\\QuorixERP2016]
"Directorio"="$demo/app"

[HKEY_CURRENT_USER\\Control Panel\\International]
"sShortDate"="dd/MM/yyyy"
"sDate"="/"
"sTimeFormat"="HH:mm:ss"
"sTime"=":"
"sDecimal"="."
REG
printf '%s\r\n%s\r\n' "$demo/origen" "$demo/destino" >"$demo/app/SERVIDORES.cfg"
export AUTOREP_REGISTRO="$demo/registro.reg"

for tipo in 21 31 61 1; do
  echo
  echo "== autorep-lote --tipo $tipo"
  estado=0
  "$compilado/autorep-lote" --origen "$demo/origen" --usuario ADMIN --compania 001 \
    --destino "$demo/destino" --tipo "$tipo" || estado=$?
  echo "(estado de salida $estado)"
  echo "-- comparacion$tipo.txt"
  iconv -f WINDOWS-1252 -t UTF-8 "$demo/app/comparacion$tipo.txt" | tr -d '\r'
done

echo
echo "== autorep-lote --compania todas --tipo todos (una revisión de toda la instalación)"
estado=0
salida=$("$compilado/autorep-lote" --origen "$demo/origen" --usuario ADMIN --compania todas --tipo todos \
  --destino "$demo/destino") || estado=$?
echo "$salida"
echo "(estado de salida $estado)"
resumen=$(echo "$salida" | sed -n 's/^resumen: //p')
[ -f "$resumen" ] || { echo "demo: la revisión no escribió su resumen" >&2; exit 1; }
echo "La página de la revisión: ${resumen%.json}.html"
primera=$(dirname "$resumen")

# The replica catches up with one missing invoice; the next revision tells
# what was resolved from what persists, and a re-check reads only the findings.
echo
echo "== la réplica recibe FC000004; una segunda revisión se compara con la primera"
printf "CONNECT '%s' USER 'SYSDBA';\nINSERT INTO FACTURAS_COMPRA VALUES (504, 'FC', '000004', 4187.50);\nCOMMIT;\n" \
  "$demo/destino/datos/001/quorix.fdb" | isql-fb -q -b
sleep 1  # a revision folder is named by its second
estado=0
salida=$("$compilado/autorep-lote" --origen "$demo/origen" --usuario ADMIN --compania todas --tipo todos \
  --destino "$demo/destino") || estado=$?
echo "$salida" | grep -v '  Sin movimientos '
echo "(estado de salida $estado)"

echo
echo "== autorep-lote --reverificar $primera (solo los hallazgos de la primera revisión)"
estado=0
"$compilado/autorep-lote" --reverificar "$primera" --usuario ADMIN --estadisticas || estado=$?
echo "(estado de salida $estado)"
echo "La historia de las revisiones: $(dirname "$primera")/indice.html"

echo
echo "La ventana sobre los mismos datos (usuario ADMIN, sin clave; compañía destino 001):"
echo "  AUTOREP_REGISTRO=$demo/registro.reg $compilado/autorep"
if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
  AUTOREP_REGISTRO="$demo/registro.reg" "$compilado/autorep" &
fi
