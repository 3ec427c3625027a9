#!/bin/sh
# Installs the libraries that the component analyses and thresholds are compared with
# (bench/peers): OpenCV (with the contrib modules, for ximgproc) and Leptonica development
# packages, from the distribution's package manager.
set -eu
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
$SUDO apt-get update
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
  libopencv-dev libopencv-contrib-dev libleptonica-dev
