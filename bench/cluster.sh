# Sourced by the benchmarks: a throw-away PostgreSQL cluster, stopped however the script ends.
#   avvia_cluster_pg   starts it and sets INDIRIZZO_PG to an empty database on it, reached by its socket
avvia_cluster_pg() {
  CLUSTER_PG=$(mktemp -d /tmp/pemtarx-bench-pg-XXXXXX)
  trap 'tests/store/cluster-pg ferma "$CLUSTER_PG"' EXIT
  trap 'exit 130' INT TERM HUP
  tests/store/cluster-pg avvia "$CLUSTER_PG"
  psql -q -h "$CLUSTER_PG" -p 5432 -U pemtarx -d postgres -c 'CREATE DATABASE bench' >/dev/null
  INDIRIZZO_PG="postgresql:///bench?host=$CLUSTER_PG&port=5432&user=pemtarx"
}
