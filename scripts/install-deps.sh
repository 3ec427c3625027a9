#!/bin/sh
# Installs the Debian packages the project builds and tests with, when any is missing.
set -eu
packages="cmake g++ make pkg-config libtiff-dev libtiff-tools libgtest-dev libgmock-dev libbenchmark-dev libpng-dev libjpeg62-turbo-dev libdeflate-dev jbigkit-bin jbigkit-testdata gcovr libcli11-dev nlohmann-json3-dev python3-dev python3-pybind11 pybind11-dev python3-numpy python3-pytest python3-distributed chromium"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
# Node and npm run the browser test's driver; any installed node will do.
command -v npm >/dev/null 2>&1 || missing="$missing nodejs npm"
if [ -n "$missing" ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -q --no-install-recommends $missing
fi
# The browser test's driver (from npm; it uses the chromium package above).
if command -v npm >/dev/null 2>&1 && [ ! -d "$(dirname "$0")/../tests/browser/node_modules/playwright-core" ]; then
  "$(dirname "$0")/../tests/browser/install.sh"
fi
