#!/usr/bin/env bash
# Installs what is missing on a Debian 12 or 13 machine, then configures and builds in build/.
# Usage: tools/setup.sh app|tests   (tests adds what the test suites need)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
what=${1:-app}

# xvfb and xauth give xvfb-run, which ./run suggests on a machine without a display.
packages=(g++ cmake make pkg-config qt6-base-dev libgl-dev libcups2-dev fonts-arphic-uming
          fonts-wqy-microhei xvfb xauth qt6-translations-l10n)
# dpkg-dev and file are what cpack needs to compute the Debian package's dependencies.
if [ "$what" = tests ]; then
  packages+=(googletest libgtest-dev libbenchmark-dev libmpfr-dev clang libclang-rt-dev
             xdotool xclip imagemagick cups cups-client cups-filters poppler-utils
             desktop-file-utils appstream dpkg-dev file libxdamage-dev
             dbus at-spi2-core python3-pyatspi)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  # sudo clears the environment: env passes the setting on to apt and debconf.
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      "${missing[@]}"
fi

# The program alone needs neither the test frameworks nor the benchmark library.
options=(-DBUILD_TESTING=OFF -DVELMOR_WITH_BENCH=OFF)
[ "$what" = tests ] && options=(-DBUILD_TESTING=ON -DVELMOR_WITH_BENCH=ON)

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
cmake --build "$root/build" -j "$jobs"
