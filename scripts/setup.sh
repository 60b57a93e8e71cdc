#!/usr/bin/env bash
# Installs, through apt-get, whatever this machine lacks to build and test the
# project. Does nothing when everything is there.
set -euo pipefail

packages=(cmake g++ ninja-build python3 pkgconf libgtest-dev libgmock-dev libbenchmark-dev libpugixml-dev
          libcpp-httplib-dev dpkg-dev doxygen libssl-dev openssl)

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
