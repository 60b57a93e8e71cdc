#!/usr/bin/env bash
# Installs, through apt-get, whatever this machine lacks to build and test the
# project. Does nothing when everything is there. With --benchmarks it also
# installs what the server's load comparison (server/bench/compare.py) runs:
# gSOAP for its peer server, wrk, and perf for context switches, and protocol
# buffers for the wire benchmark's peer (platform/lumo-wire/bench/peer). The
# build does not need them; without gSOAP or protobuf those peers are simply
# not built.
set -euo pipefail

# libxml2-dev, python3-zeep and python3-prometheus-client are for the tests
# only: libxml2's schema validator and a stock SOAP client check the service
# description, and a Prometheus text parser reads the server's metrics.
# libpq-dev is the PostgreSQL store's client library; postgresql brings the
# server the tests start scratch clusters of.
packages=(cmake g++ ninja-build python3 pkgconf libgtest-dev libgmock-dev libbenchmark-dev libpugixml-dev
          dpkg-dev doxygen libboost1.81-dev libssl-dev openssl libsqlite3-dev libxml2-dev python3-zeep
          libmimalloc-dev python3-prometheus-client libpq-dev postgresql libcli11-dev libsimdjson-dev)
# HAProxy for the test of the load-balanced deployment (docs/deploy.md).
packages+=(haproxy)
if [ "${1:-}" = "--benchmarks" ]; then
  packages+=(gsoap libgsoap-dev wrk linux-perf libprotobuf-dev protobuf-compiler)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
