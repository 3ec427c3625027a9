#!/bin/sh
# Installs the libraries that the component analyses and thresholds are compared with
# (bench/peers): OpenCV (with the contrib modules, for ximgproc) and Leptonica development
# packages, and the real page images of the skew accuracy comparison (page.png and text.png of
# python3-skimage, the CCITT fax pages of jbigkit-testdata with jbgtopbm from jbigkit-bin),
# from the distribution's package manager.
set -eu
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
$SUDO apt-get update
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
  libopencv-dev libopencv-contrib-dev libleptonica-dev \
  python3-skimage jbigkit-testdata jbigkit-bin
