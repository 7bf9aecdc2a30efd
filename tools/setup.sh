#!/usr/bin/env bash
# Installs what is missing on a Debian 12 or 13 machine, then configures and builds in build/.
# Usage: tools/setup.sh app|tests   (tests adds what the test suites need and builds with -Werror)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
what=${1:-app}

# xvfb and xauth give xvfb-run, which ./run suggests on a machine without a display;
# qt6-wayland lets the window open in a Wayland session that has no X server. The program
# sends print jobs through libcups and keeps a replaced file's ACL entries through libacl.
packages=(g++ cmake make pkg-config qt6-base-dev libgl-dev libcups2-dev libacl1-dev
          fonts-arphic-uming fonts-wqy-microhei xvfb xauth qt6-translations-l10n qt6-wayland)
# dpkg-dev and file are what cpack needs to compute the Debian package's dependencies, lintian
# checks the package; openbox and sway are the window manager and the Wayland-only compositor
# the window is tried under; acl, attr and e2fsprogs (chattr, which Debian 13 no longer
# installs with every system) serve the saving tests; the accessibility bus reads the message
# boxes' texts in the end-to-end test; locales lets velmor-report's test make a locale whose
# decimal separator is a comma; appstream-compose checks the package as a software centre's
# catalogue would, and reads the scalable icon through librsvg2-common on Debian 13.
if [ "$what" = tests ]; then
  packages+=(googletest libgtest-dev libbenchmark-dev clang libclang-rt-dev
             xdotool x11-utils imagemagick cups cups-client cups-filters
             poppler-utils desktop-file-utils appstream appstream-compose librsvg2-common dpkg-dev
             file lintian libxdamage-dev openbox sway acl attr e2fsprogs dbus at-spi2-core
             python3-pyatspi locales)
fi

# apt-get update waits for dpkg's lock but not for the package lists' own, which a running
# apt-get update elsewhere holds: it is tried again until the same 300 s have passed (in the C
# locale, whose message it looks for).
update_lists() {
  local deadline=$((SECONDS + 300)) out
  until out=$($sudo env LC_ALL=C apt-get "${wait_lock[@]}" update -qq 2>&1); do
    if [ $SECONDS -lt $deadline ] && grep -q 'Could not get lock' <<<"$out"; then
      sleep 5
    else
      printf '%s\n' "$out" >&2
      return 1
    fi
  done
  [ -z "$out" ] || printf '%s\n' "$out"
}

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  # On a fresh desktop PackageKit or unattended-upgrades often holds the lock for a while.
  wait_lock=(-o DPkg::Lock::Timeout=300)
  echo "If another program is installing packages, this waits up to 300 s for it to finish."
  update_lists
  # sudo clears the environment: env passes the setting on to apt and debconf.
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get "${wait_lock[@]}" install -y -qq \
      --no-install-recommends "${missing[@]}"
fi

# The program alone needs neither the test frameworks nor the benchmark library. A user's build
# must not fail on a new compiler's new warning; the tests' build keeps the code warning-free.
# A folder the tests' build configured keeps its -Werror for the program: that build has just
# shown this compiler to be content, and changing the flag would rebuild everything.
options=(-DBUILD_TESTING=OFF -DVELMOR_WITH_BENCH=OFF)
[ -f "$root/build/CMakeCache.txt" ] || options+=(-DVELMOR_WERROR=OFF)
[ "$what" = tests ] && options=(-DBUILD_TESTING=ON -DVELMOR_WITH_BENCH=ON -DVELMOR_WERROR=ON)

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
cmake --build "$root/build" -j "$jobs"
