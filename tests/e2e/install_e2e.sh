#!/usr/bin/env bash
# Builds the Debian package from the build tree and checks what it would install: the two
# programs stripped, the desktop entry, the AppStream description and the icon all named by one
# application id and accepted by the freedesktop validators, and dependencies on the libraries
# the programs link and on the CJK fonts.
#
# Environment: VELMOR_BUILD_DIR (the CMake build folder).
source "$(dirname "$0")/lib.sh"

e2e_require cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli readelf
: "${VELMOR_BUILD_DIR:?VELMOR_BUILD_DIR must name the build folder}"
id=org.velmor.Velmor

cpack -G DEB -B "$E2E_TMP/package" --config "$VELMOR_BUILD_DIR/CPackConfig.cmake" \
    >"$E2E_TMP/cpack.log" 2>&1 || { cat "$E2E_TMP/cpack.log" >&2; e2e_fail "cpack failed"; }
deb="$E2E_TMP/package/velmor_1.0-1_amd64.deb"
[ -s "$deb" ] || e2e_fail "no velmor_1.0-1_amd64.deb, only: $(ls "$E2E_TMP/package")"
root="$E2E_TMP/root"
dpkg-deb -x "$deb" "$root"

for file in bin/velmor bin/velmor-report share/applications/$id.desktop \
    share/metainfo/$id.metainfo.xml share/icons/hicolor/32x32/apps/$id.png; do
    [ -s "$root/usr/$file" ] || e2e_fail "the package lacks /usr/$file"
done
for program in velmor velmor-report; do
    if readelf -S "$root/usr/bin/$program" | grep -qE '\.symtab|\.debug_info'; then
        e2e_fail "/usr/bin/$program is not stripped"
    fi
done

desktop-file-validate "$root/usr/share/applications/$id.desktop" ||
    e2e_fail "desktop-file-validate rejects the desktop entry"
grep -qx "Icon=$id" "$root/usr/share/applications/$id.desktop" ||
    e2e_fail "the desktop entry does not name the icon $id"
# No errors or warnings, but for a missing homepage: the project has none yet. (Debian 13's
# appstreamcli adds hints, such as a missing developer name, at level I.)
validation=$(appstreamcli validate --no-net --explain "$root/usr/share/metainfo/$id.metainfo.xml" 2>&1 |
    grep -E '^[EW]: ' | grep -v 'url-homepage-missing' || true)
[ -z "$validation" ] || e2e_fail "appstreamcli validate: $validation"
grep -qF "<launchable type=\"desktop-id\">$id.desktop</launchable>" \
    "$root/usr/share/metainfo/$id.metainfo.xml" || e2e_fail "the metainfo does not launch $id.desktop"

depends=$(dpkg-deb -f "$deb" Depends)
e2e_log "Depends: $depends"
for package in libqt6widgets6 libqt6printsupport6 fonts-arphic-uming fonts-wqy-microhei; do
    grep -q "\b$package\b" <<<"$depends" || e2e_fail "the package does not depend on $package"
done
e2e_log "velmor_1.0-1_amd64.deb: $(stat -c %s "$deb") bytes, stripped programs, metadata valid"
