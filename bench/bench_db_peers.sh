#!/usr/bin/env bash
# Database polls per second against the test servers: this agent's MySQL and PostgreSQL checks
# (bench_checks_localdb; connect, SELECT 1, close per poll; 1 and 8 threads) beside
# mariadb-slap (reconnecting after every query) and pgbench -C (one connection per
# transaction) at the same concurrency. Needs root for the peers' install and the test servers.
# Usage: bash bench/bench_db_peers.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
. scripts/test-servers.env
H=$ZAM_TS_HOST U=$ZAM_TS_USER DB=$ZAM_TS_DATABASE
export MYSQL_PWD=$ZAM_TS_PASSWORD PGPASSWORD=$ZAM_TS_PASSWORD PGSSLMODE=disable
N=${BENCH_DB_QUERIES:-4000}
SECS=${BENCH_DB_SECONDS:-10}

bash bench/install-peers.sh mariadb-client postgresql-15
PGBIN=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)

T=$(mktemp -d)
cleanup() {
  "$PGBIN/pgbench" -h "$H" -p "$ZAM_TS_POSTGRES_PORT" -U "$U" -i -I d "$DB" >/dev/null 2>&1 || true
  rm -rf "$T"
}
trap cleanup EXIT
echo 'SELECT 1;' > "$T/select1.sql"

slap_rate() {
  local c=$1 secs
  secs=$(mariadb-slap --host="$H" --port="$ZAM_TS_MYSQL_PORT" --user="$U" --skip-ssl --create-schema="$DB" \
    --query="SELECT 1" --concurrency="$c" --number-of-queries="$N" --detach=1 --iterations=1 2>/dev/null |
    awk '/Average number of seconds to run all queries/ {print $(NF-1)}')
  awk -v n="$N" -v s="$secs" 'BEGIN { printf "%.1f", n / s }'
}
pgbench_rate() {
  "$PGBIN/pgbench" -h "$H" -p "$ZAM_TS_POSTGRES_PORT" -U "$U" -n -C -c "$1" -j "$1" -T "$SECS" "${@:2}" "$DB" 2>/dev/null |
    awk '/^tps = / {print $3; exit}'
}

echo "cores: $(nproc)"
"$BUILD/bench/bench_checks_localdb" --benchmark_min_time=3 --benchmark_format=csv 2>/dev/null > "$T/agent.csv"
col=$(head -1 "$T/agent.csv" | tr ',' '\n' | grep -n '^items_per_second$' | cut -d: -f1)
rate() { awk -F, -v c="$col" -v name="$1" -v t="threads:$2\"" 'index($1, name) && index($1, t) {print $c; exit}' "$T/agent.csv"; }
my1=$(rate BM_MysqlPollSelect1 1); my8=$(rate BM_MysqlPollSelect1 8)
pg1=$(rate BM_PgsqlPollSelect1 1); pg8=$(rate BM_PgsqlPollSelect1 8)
dk1=$(rate BM_DiskPollRoot 1); dk8=$(rate BM_DiskPollRoot 8)

slap1=$(slap_rate 1); slap8=$(slap_rate 8)
"$PGBIN/pgbench" -h "$H" -p "$ZAM_TS_POSTGRES_PORT" -U "$U" -i -s 1 -q "$DB" >/dev/null 2>&1
pgS1=$(pgbench_rate 1 -S); pgS8=$(pgbench_rate 8 -S)
pgF1=$(pgbench_rate 1 -f "$T/select1.sql"); pgF8=$(pgbench_rate 8 -f "$T/select1.sql")

printf '%-34s %12s %12s\n' "polls/s" "1 thread" "8 threads"
printf '%-34s %12.0f %12.0f\n' "agent MySQL check" "$my1" "$my8"
printf '%-34s %12.0f %12.0f\n' "mariadb-slap --detach=1 SELECT 1" "$slap1" "$slap8"
printf '%-34s %12.0f %12.0f\n' "agent PostgreSQL check" "$pg1" "$pg8"
printf '%-34s %12.0f %12.0f\n' "pgbench -C -S" "$pgS1" "$pgS8"
printf '%-34s %12.0f %12.0f\n' "pgbench -C (SELECT 1)" "$pgF1" "$pgF8"
printf '%-34s %12.0f %12.0f\n' "agent disk check (/)" "$dk1" "$dk8"
awk -v a1="$my1" -v a8="$my8" -v b1="$slap1" -v b8="$slap8" -v p1="$pg1" -v p8="$pg8" \
    -v s1="$pgS1" -v s8="$pgS8" -v f1="$pgF1" -v f8="$pgF8" 'BEGIN {
  printf "ratio MySQL agent/mariadb-slap:      %.2f (1), %.2f (8)\n", a1 / b1, a8 / b8
  printf "ratio PostgreSQL agent/pgbench -S:   %.2f (1), %.2f (8)\n", p1 / s1, p8 / s8
  printf "ratio PostgreSQL agent/pgbench SELECT 1: %.2f (1), %.2f (8)\n", p1 / f1, p8 / f8 }'
