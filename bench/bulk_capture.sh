#!/usr/bin/env bash
# A bulk capture through the command-line host, as a shop runs one: a JSON
# Lines file of layaways of 10 lines (2,000 by default), each with its own
# Ap_Referencia, captured into a new database that holds a catalogue of 20
# products. Prints figures; asserts nothing about time.
#
#   bulk_capture.sh [--layaways N] [--rounds N] [--pg URI] [--no-sqlite] time NAME=PROGRAM...
#       times each program (an apartado binary; its directory is put first on
#       LD_LIBRARY_PATH) on a SQLite file, on a SQLite file in /dev/shm (the
#       same capture with no disk under it) and, with --pg, on PostgreSQL;
#       programs take turns round by round, each on a new database
#   bulk_capture.sh [--layaways N] [--kill-within S] [--pg URI] [--no-sqlite] resume PROGRAM
#       kills the capture (SIGKILL) at a random moment (within S seconds, 5
#       by default), runs it again with
#       --skip-captured, then checks from the database: every layaway stored
#       once and whole, and each product's reserved stock equal to what the
#       stored lines reserved; exits 1 when a check fails
#   bulk_capture.sh [--layaways N] data DIR
#       writes the catalogue (catalogue.json) and the layaways (layaways.jsonl) to DIR
#
# A PostgreSQL database named with --pg is emptied first (its public schema
# dropped and created again).
set -euo pipefail

layaways=2000
rounds=1
killWithin=5
pg=""
sqlite=1
while [ $# -gt 0 ]; do
  case $1 in
    --layaways) layaways=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --kill-within) killWithin=$2; shift 2 ;;
    --pg) pg=$2; shift 2 ;;
    --no-sqlite) sqlite=0; shift ;;
    *) break ;;
  esac
done
mode=${1:?"usage: bulk_capture.sh [--layaways N] [--rounds N] [--pg URI] [--no-sqlite] time|resume PROGRAM..."}
shift

work=$(mktemp -d /tmp/apartado-bulk.XXXXXX)
shm=$(mktemp -d /dev/shm/apartado-bulk.XXXXXX)
trap 'rm -rf "$work" "$shm"' EXIT
readonly products=20 initial=1000000000

# The catalogue: one branch and warehouse (no sizes, colours, lots or serial
# numbers), products P000..P019 with ample stock.
{
  printf '{"Sucursal": [{"Sc_Cve_Sucursal": "01", "Sc_Descripcion": "Centro"}],\n'
  printf ' "Almacen": [{"Sc_Cve_Sucursal": "01", "Al_Cve_Almacen": "01", "Al_Descripcion": "Bodega",'
  printf ' "Al_Maneja_Tallas": 0, "Al_Maneja_Colores": 0, "Al_Maneja_Lotes": 0, "Al_Maneja_Series": 0}],\n'
  printf ' "Moneda": [{"Mn_Cve_Moneda": "MXN", "Mn_Descripcion": "Peso"}],\n'
  printf ' "Vendedor": [{"Vn_Cve_Vendedor": "V01", "Vn_Descripcion": "Ana"}],\n'
  printf ' "Cliente": [{"Cl_Cve_Cliente": "C001", "Cl_Descripcion": "Cliente", "Cl_Dias_Credito": 30}],\n'
  printf ' "Condicion_Venta": [{"Cv_Cve_Condicion_Venta": "AP30", "Cv_Descripcion": "Apartado"}],\n'
  printf ' "Unidad": [{"Un_Cve_Unidad": "PZA", "Un_Descripcion": "Pieza"}],\n'
  printf ' "Talla": [{"Tl_Cve_Talla": "00", "Tl_Descripcion": "Sin talla"}],\n'
  printf ' "Color": [{"Cl_Cve_Color": "00", "Cl_Descripcion": "Sin color"}],\n'
  printf ' "Producto": ['
  for ((p = 0; p < products; p++)); do
    printf '%s{"Pr_Cve_Producto": "P%03d", "Pr_Descripcion": "Producto %d", "Pr_Tipo_Producto": "01",' \
      "$([ $p -gt 0 ] && echo ', ')" $p $p
    printf ' "Pr_Tipo_Costeo": "PROM", "Pr_Unidad_Control_1": "PZA", "Pr_Unidad_Control_2": "PZA",'
    printf ' "Pr_Unidad_Costo": "PZA", "Pr_Costo": %d, "Pr_Tasa_Impuesto": 0.16}' $((10 + p))
  done
  printf '],\n "Existencia": ['
  for ((p = 0; p < products; p++)); do
    printf '%s{"Sc_Cve_Sucursal": "01", "Al_Cve_Almacen": "01", "Pr_Cve_Producto": "P%03d",' \
      "$([ $p -gt 0 ] && echo ', ')" $p
    printf ' "Tl_Cve_Talla": "00", "Cl_Cve_Color": "00", "Ex_Cantidad_Control_1": %d,' $initial
    printf ' "Ex_Cantidad_Control_2": %d, "Ex_Cantidad_Apartado_Control_1": 0,' $initial
    printf ' "Ex_Cantidad_Apartado_Control_2": 0}'
  done
  printf ']}\n'
} >"$work/catalogue.json"

# Layaway n: reference BULK-n, lines of 1 to 3 pieces of consecutive products.
awk -v n="$layaways" -v products=$products 'BEGIN {
  for (l = 1; l <= n; l++) {
    printf "{\"Encabezado\": {\"Mn_Cve_Moneda\": \"MXN\", \"Ap_Tipo_Cambio\": 1, \"Ap_Referencia\": \"BULK-%d\", ", l
    printf "\"Sucursal\": {\"Sc_Cve_Sucursal\": \"01\"}, \"Almacen\": {\"Al_Cve_Almacen\": \"01\"}, "
    printf "\"Cliente\": {\"Cl_Cve_Cliente\": \"C001\"}, \"Vendedor\": {\"Vn_Cve_Vendedor\": \"V01\"}, "
    printf "\"Ap_Condicion_Venta\": \"AP30\"}, \"Detalles\": ["
    for (k = 0; k < 10; k++) {
      q = (l + k) % 3 + 1
      printf "%s{\"Producto\": {\"Pr_Cve_Producto\": \"P%03d\"}, \"Ap_Cantidad_1\": %d, \"Ap_Unidad_1\": \"PZA\", ", \
        (k ? ", " : ""), (l * 10 + k) % products, q
      printf "\"Ap_Cantidad_Control_2\": %d, \"Ap_Precio_Lista\": 100}", q
    }
    printf "]}\n"
  }
}' >"$work/layaways.jsonl"
lines=$((layaways * 10))
if [ "$mode" = data ]; then
  cp "$work/catalogue.json" "$work/layaways.jsonl" "${1:?"data needs a directory"}"
  exit 0
fi

run() {  # run PROGRAM ARGS...: the program with its own libraries first
  local program=$1
  shift
  LD_LIBRARY_PATH="$(dirname "$program")${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" "$program" "$@"
}

fresh() {  # fresh PROGRAM TARGET: a new database with the schema and the catalogue; echoes its connection string
  local program=$1 target=$2 db
  case $target in
    file) db="$work/bulk.db"; rm -f "$db" "$db-wal" "$db-shm" ;;
    memory) db="$shm/bulk.db"; rm -f "$db" "$db-wal" "$db-shm" ;;
    pg) db=$pg; psql -q "$pg" -c 'DROP SCHEMA public CASCADE; CREATE SCHEMA public;' >/dev/null 2>&1 ;;
  esac
  run "$program" --db "$db" init >/dev/null
  run "$program" --db "$db" load "$work/catalogue.json" >/dev/null
  echo "$db"
}

sql() {  # sql TARGET DB QUERY: one value
  if [ "$1" = pg ]; then psql -qtA "$2" -c "$3"; else sqlite3 "$2" "$3"; fi
}

targets=()
[ $sqlite = 1 ] && targets+=(file memory)
[ -n "$pg" ] && targets+=(pg)
label() { case $1 in file) echo "SQLite file" ;; memory) echo "SQLite /dev/shm" ;; pg) echo "PostgreSQL" ;; esac; }

echo "bulk capture: $layaways layaways of 10 lines ($lines lines, JSON Lines); $(nproc) CPUs, load average $(cut -d' ' -f1-3 /proc/loadavg)"

if [ "$mode" = time ]; then
  names=() programs=()
  for given in "$@"; do
    names+=("${given%%=*}")
    programs+=("${given#*=}")
  done
  declare -A seconds
  for ((r = 1; r <= rounds; r++)); do
    for target in "${targets[@]}"; do
      for ((k = 0; k < ${#programs[@]}; k++)); do
        i=$(((k + r) % ${#programs[@]}))  # which goes first takes turns
        db=$(fresh "${programs[$i]}" $target)
        start=$(date +%s.%N)
        run "${programs[$i]}" --db "$db" capture "$work/layaways.jsonl" >/dev/null 2>"$work/err" ||
          { echo "capture failed:"; head -5 "$work/err"; exit 1; }
        end=$(date +%s.%N)
        s=$(echo "$end - $start" | bc)
        seconds[$target,$i]="${seconds[$target,$i]:-} $s"
        printf '  round %d  %-16s %-10s %8.2f s  %7.0f lines/s   (load average %s)\n' $r "$(label $target)" \
          "${names[$i]}" "$s" "$(echo "$lines / $s" | bc -l)" "$(cut -d' ' -f1 /proc/loadavg)"
      done
    done
  done
  median() { tr ' ' '\n' | grep . | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
  echo "medians:"
  for target in "${targets[@]}"; do
    for ((i = 0; i < ${#programs[@]}; i++)); do
      m=$(echo "${seconds[$target,$i]}" | median)
      printf '  %-16s %-10s %8.2f s  %7.0f lines/s' "$(label $target)" "${names[$i]}" "$m" "$(echo "$lines / $m" | bc -l)"
      if [ $i -gt 0 ]; then
        printf '   %s is %.2fx as fast' "${names[$i]}" "$(echo "$(echo "${seconds[$target,0]}" | median) / $m" | bc -l)"
      fi
      echo
    done
  done
  exit 0
fi

[ "$mode" = resume ] || { echo "unknown mode: $mode" >&2; exit 2; }
program=${1:?"resume needs the program"}
status=0
for target in "${targets[@]}"; do
  db=$(fresh "$program" $target)
  delay=$(awk -v seed="$RANDOM" -v within="$killWithin" 'BEGIN { srand(seed); printf "%.2f", 0.2 + rand() * (within - 0.2) }')
  # Started without a function or a subshell around it, so that $! is the
  # program itself and the kill reaches it.
  LD_LIBRARY_PATH="$(dirname "$program")${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" \
    "$program" --db "$db" capture "$work/layaways.jsonl" >"$work/first.out" 2>/dev/null &
  first=$!
  sleep "$delay"
  kill -KILL $first 2>/dev/null || true
  wait $first 2>/dev/null || true
  before=$(sql $target "$db" "SELECT COUNT(DISTINCT Ap_Folio) FROM Apartado")
  run "$program" --db "$db" capture --skip-captured "$work/layaways.jsonl" >"$work/second.out" 2>"$work/second.err" ||
    { echo "second run failed:"; head -5 "$work/second.err"; exit 1; }
  skipped=$(grep -c 'skipped' "$work/second.out" || true)
  folios=$(sql $target "$db" "SELECT COUNT(DISTINCT Ap_Folio) FROM Apartado")
  references=$(sql $target "$db" "SELECT COUNT(DISTINCT Ap_Referencia) FROM Apartado")
  rows=$(sql $target "$db" "SELECT COUNT(*) FROM Apartado")
  whole=$(sql $target "$db" "SELECT COUNT(*) FROM (SELECT Ap_Folio FROM Apartado GROUP BY Ap_Folio HAVING COUNT(*) <> 10) x")
  # Per product: reserved = what the stored lines reserved, available + reserved = the initial stock.
  wrong=$(sql $target "$db" "SELECT COUNT(*) FROM Existencia e WHERE e.Ex_Cantidad_Apartado_Control_1 <>
      (SELECT COALESCE(SUM(a.Ap_Cantidad_Control_1), 0) FROM Apartado a WHERE a.Pr_Cve_Producto = e.Pr_Cve_Producto)
      OR e.Ex_Cantidad_Control_1 + e.Ex_Cantidad_Apartado_Control_1 <> $initial")
  printf '  %-16s killed after %s s with %s layaways stored; the re-run skipped %s; now %s layaways (%s references), %s rows, %s not whole, %s stock rows off\n' \
    "$(label $target)" "$delay" "$before" "$skipped" "$folios" "$references" "$rows" "$whole" "$wrong"
  if [ "$folios" != "$layaways" ] || [ "$references" != "$layaways" ] || [ "$rows" != "$lines" ] || [ "$whole" != 0 ] ||
    [ "$wrong" != 0 ] || [ "$skipped" != "$before" ]; then
    echo "  FAILED: expected $layaways layaways, $lines rows, the $before stored before skipped, stock equal to the reservations"
    status=1
  fi
done
exit $status
