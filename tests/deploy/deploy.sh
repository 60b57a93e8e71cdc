#!/usr/bin/env bash
# zel-server deployed as docs/deploy.md describes it: a PostgreSQL cluster of
# the test's own, two instances on it, and HAProxy in front, its
# configuration file from docs/deploy/ used as it is (TLS at the balancer,
# --public-url naming it). Then the checks. Everything started here is
# stopped at the end, whatever happens.
#
# usage: deploy.sh ZEL_SERVER ZEL ZEL_TOKEN HAPROXY [SETUP]
#   SETUP plain (the default): haproxy.cfg, plain HTTP to the instances;
#         balancer_checks.py.
#   SETUP tls-to-instances: haproxy-tls-instances.cfg; the instances serve
#         https with certificates a CA made here signed, which the balancer
#         checks; tls_instance_checks.py.
# Exits 77 (skipped) when PostgreSQL's server programs or HAProxy are not
# there.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
server="$1"
zel="$2"
token_program="$3"
haproxy="${4:-}"
setup="${5:-plain}"
python="${ZEL_SYSTEM_PYTHON:-python3}"
pg_cluster="$root/tests/support/pg_cluster.sh"
case "$setup" in
  plain) config="$root/docs/deploy/haproxy.cfg" ;;
  tls-to-instances) config="$root/docs/deploy/haproxy-tls-instances.cfg" ;;
  *)
    echo "deploy.sh: unknown setup $setup (plain or tls-to-instances)" >&2
    exit 2
    ;;
esac
# shellcheck source-path=SCRIPTDIR source=../support/zel_server.sh
source "$root/tests/support/zel_server.sh"
# shellcheck source-path=SCRIPTDIR source=test_ca.sh
source "$here/test_ca.sh"

skip() { echo "SKIP: $*"; exit 77; }
if ! bash "$pg_cluster" available 2>/dev/null; then
  skip "no PostgreSQL server programs (scripts/setup.sh installs postgresql)"
fi
if [ -z "$haproxy" ] || [ ! -x "$haproxy" ]; then
  skip "no HAProxy (scripts/setup.sh installs haproxy)"
fi

work="$(mktemp -d /tmp/zel-deploy.XXXXXX)"
# The cluster's folder of its own: pg_cluster.sh hands it to the postgres user.
pgdir="$(mktemp -d /tmp/zel-deploy-pg.XXXXXX)"
haproxy_pid=""
checks_pid=""
instance_pids=()
cleanup() {
  local status=$?
  # The checks first: the instances they started end with them.
  if [ -n "$checks_pid" ]; then
    kill "$checks_pid" 2>/dev/null || true
    wait "$checks_pid" 2>/dev/null || true
  fi
  if [ -n "$haproxy_pid" ]; then
    kill "$haproxy_pid" 2>/dev/null || true
    wait "$haproxy_pid" 2>/dev/null || true
  fi
  for pid in "${instance_pids[@]}"; do
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  bash "$pg_cluster" stop "$pgdir" || true
  if [ "$status" -ne 0 ]; then
    for log in "$work"/*.out; do
      [ -f "$log" ] || continue
      echo "--- last lines of $(basename "$log")"
      tail -n 40 "$log"
    done
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

free_port() {
  "$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

echo "== a PostgreSQL cluster"
database="$(bash "$pg_cluster" start "$pgdir")"
echo "$database"

echo "== the balancer's certificate"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
  -subj "/CN=127.0.0.1" -addext "subjectAltName=IP:127.0.0.1" \
  -keyout "$work/lb.key" -out "$work/lb-ca.pem" 2>/dev/null
# HAProxy takes the certificate and its key in one file.
cat "$work/lb-ca.pem" "$work/lb.key" >"$work/lb.pem"
https_port="$(free_port)"
http_port="$(free_port)"
public_url="https://127.0.0.1:$https_port/zel"

if [ "$setup" = tls-to-instances ]; then
  echo "== the instances' CA and their certificates; another CA's for the same address"
  test_ca_make "$work" instances-ca
  test_ca_sign "$work" instances-ca instance1
  test_ca_sign "$work" instances-ca instance2
  test_ca_make "$work" other-ca
  test_ca_sign "$work" other-ca instance-other-ca
fi

echo "== two instances on the database, naming the balancer"
urls=()
for n in 1 2; do
  tls=()
  if [ "$setup" = tls-to-instances ]; then
    tls=(--tls-cert "$work/instance$n.crt" --tls-key "$work/instance$n.key")
  fi
  zel_server_start "$server" "$work/instance$n.out" --port 0 --data "$database" \
    --public-url "$public_url" "${tls[@]}" || exit 1
  instance_pids+=("$zel_server_pid")
  urls+=("$zel_server_url")
  echo "instance $n: $zel_server_url (pid $zel_server_pid)"
done

echo "== HAProxy with $config"
export ZEL_LB_HTTPS="127.0.0.1:$https_port" ZEL_LB_HTTP="127.0.0.1:$http_port"
export ZEL_LB_CERT="$work/lb.pem" ZEL_LB_STATS="$work/haproxy.sock"
ZEL_INSTANCE_1="$(sed -E 's#^https?://([^/]+)/.*#\1#' <<<"${urls[0]}")"
ZEL_INSTANCE_2="$(sed -E 's#^https?://([^/]+)/.*#\1#' <<<"${urls[1]}")"
export ZEL_INSTANCE_1 ZEL_INSTANCE_2
if [ "$setup" = tls-to-instances ]; then
  export ZEL_INSTANCES_CA="$work/instances-ca.pem"
fi
"$haproxy" -c -q -f "$config"
"$haproxy" -db -f "$config" >"$work/haproxy.out" 2>&1 &
haproxy_pid=$!

# In the background, so that a signal to this script is handled at once.
common=(--https "$public_url" --cafile "$work/lb-ca.pem" --stats "$ZEL_LB_STATS"
  --instance "${urls[0]}" --instance "${urls[1]}" --victim-pid "${instance_pids[1]}"
  --server "$server" --database "$database" --zel "$zel" --token-program "$token_program")
if [ "$setup" = tls-to-instances ]; then
  "$python" "$here/tls_instance_checks.py" "${common[@]}" --instances-ca "$ZEL_INSTANCES_CA" \
    --instance-cert "$work/instance2.crt" --instance-key "$work/instance2.key" \
    --other-ca "$work/other-ca.pem" --other-cert "$work/instance-other-ca.crt" \
    --other-key "$work/instance-other-ca.key" &
else
  "$python" "$here/balancer_checks.py" "${common[@]}" --http "http://127.0.0.1:$http_port/zel" \
    --first-pid "${instance_pids[0]}" --pg-cluster "$pg_cluster" --pg-folder "$pgdir" &
fi
checks_pid=$!
wait "$checks_pid"
