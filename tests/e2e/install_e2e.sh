#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks that it lands where a Linux desktop
# looks for it: the program, its menu entry, its icon and its AppStream description.
#
# Environment: VELMOR_BUILD_DIR (the CMake build folder).
source "$(dirname "$0")/lib.sh"

: "${VELMOR_BUILD_DIR:?VELMOR_BUILD_DIR must name the build folder}"
prefix="$E2E_TMP/prefix"
cmake --install "$VELMOR_BUILD_DIR" --prefix "$prefix" >"$E2E_TMP/install.log" ||
    { cat "$E2E_TMP/install.log" >&2; e2e_fail "cmake --install failed"; }

desktop="$prefix/share/applications/velmor.desktop"
metainfo="$prefix/share/metainfo/velmor.metainfo.xml"
icon="$prefix/share/icons/hicolor/32x32/apps/velmor.png"

[ -x "$prefix/bin/velmor" ] || e2e_fail "bin/velmor is missing or not executable"
for file in "$desktop" "$metainfo" "$icon"; do
    [ -s "$file" ] || e2e_fail "${file#"$prefix"/} is missing"
done

# The entry starts the installed name and shows the installed icon.
grep -qx 'Exec=velmor' "$desktop" || e2e_fail "the desktop entry does not start velmor"
grep -qx 'Icon=velmor' "$desktop" || e2e_fail "the desktop entry does not name the velmor icon"
grep -qx 'Type=Application' "$desktop" || e2e_fail "the desktop entry is not an application"
grep -qF '<launchable type="desktop-id">velmor.desktop</launchable>' "$metainfo" ||
    e2e_fail "the metainfo does not point at velmor.desktop"
grep -qF '<binary>velmor</binary>' "$metainfo" || e2e_fail "the metainfo does not provide velmor"

[ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
    e2e_fail "the icon is not a PNG"

if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$desktop" || e2e_fail "desktop-file-validate rejects the entry"
fi
e2e_log "installed: bin/velmor, velmor.desktop, the 32x32 icon, velmor.metainfo.xml"
