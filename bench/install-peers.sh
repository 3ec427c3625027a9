#!/bin/sh
# Installs the libraries that bench/peers compares with: OpenCV (component analyses, colour
# conversions) and Leptonica development packages, from the distribution's package manager;
# the page-loading comparison uses libtiff, which scripts/install-deps.sh installs.
set -eu
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
$SUDO apt-get update
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
  libopencv-dev libleptonica-dev
