#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, when any is missing.
# Usage: scripts/install-deps.sh [ci|bench|screenshots]
#   ci: also the style checks' clang-format and clang-tidy, and the package check's lintian and
#       desktop-file-validate
#   bench: also pgdbf, the converter the side-by-side benchmark measures against
#   screenshots: also the X server in memory scripts/screenshots.sh draws the window on
# A caller that has installed them sets QUORVATH_DEPS_INSTALLED to what it asked for (empty
# word for the plain set, or ci), and later calls in its environment check nothing again:
# .ci/run does so, so that its builds do not each ask dpkg and apt.
set -euo pipefail
set_name=${1:-plain}
case "${QUORVATH_DEPS_INSTALLED:-}" in
  ci) [ "$set_name" != screenshots ] && exit 0 ;;
  plain) [ "$set_name" = plain ] && exit 0 ;;
esac
packages=(
  build-essential cmake pkg-config python3 dpkg-dev ninja-build ccache
  libgtest-dev libgmock-dev
  libsqlite3-dev sqlite3
  libcli11-dev
  qt6-base-dev qt6-qpa-plugins fonts-dejavu-core qt6-tools-dev qt6-l10n-tools
  clang libclang-rt-dev
)
if [ "$set_name" = ci ]; then packages+=(clang-format clang-tidy lintian desktop-file-utils); fi
if [ "$set_name" = bench ]; then packages+=(pgdbf); fi
if [ "$set_name" = screenshots ]; then packages+=(xvfb xauth); fi
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
