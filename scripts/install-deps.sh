#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, when any is missing.
# Usage: scripts/install-deps.sh [ci]   (ci: also what CI's extra builds need, clang)
set -euo pipefail
packages=(
  build-essential cmake pkg-config python3 dpkg-dev
  libgtest-dev libgmock-dev
  libsqlite3-dev sqlite3
  libcli11-dev
  qt6-base-dev qt6-qpa-plugins fonts-dejavu-core
  clang libclang-rt-dev
)
if [ "${1:-}" = ci ]; then packages+=(clang); fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
