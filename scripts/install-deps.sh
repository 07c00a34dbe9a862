#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs every Debian package the build, the tests and the benchmarks need.
# Idempotent: does nothing when all packages are present.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-svg-dev
  librtmidi-dev libjack-jackd2-dev libasound2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  valgrind
  jackd2
  pipewire pipewire-jack wireplumber dbus-daemon  # the JACK tests under PipeWire too
  fonts-liberation
  xvfb xauth xdotool x11-utils imagemagick openbox
  dbus at-spi2-core python3-pyatspi  # the screen-reader test: a private session bus and AT-SPI
  python3-mido
  poppler-utils  # pdftotext and pdftoppm for the preset sheet tests
  dpkg-dev file desktop-file-utils appstream shared-mime-info  # make package and its check
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

echo "Installing: ${missing[*]}"
# jackd2 asks whether to enable realtime limits; answer it up front.
echo "jackd2 jackd/tweak_rt_limits boolean false" | $SUDO debconf-set-selections
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
