#!/usr/bin/env bash
# The Debian package built from the build tree: both programs stripped, the desktop entry, metainfo
# and icon under one id and accepted by the validators, dependencies on Qt, libcups and the CJK
# fonts.
# Environment: VELMOR_BUILD_DIR (the CMake build folder).
source "$(dirname "$0")/lib.sh"
e2e_require cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli readelf
id=org.velmor.Velmor root=$E2E_TMP/root deb=$E2E_TMP/velmor_1.0-1_amd64.deb

cpack -G DEB -B "$E2E_TMP" --config "${VELMOR_BUILD_DIR:?}/CPackConfig.cmake" >"$E2E_TMP/cpack.log" 2>&1 ||
    e2e_fail "cpack failed: $(cat "$E2E_TMP/cpack.log")"
dpkg-deb -x "$deb" "$root"
for file in bin/velmor bin/velmor-report share/applications/$id.desktop \
    share/metainfo/$id.metainfo.xml share/icons/hicolor/32x32/apps/$id.png; do
    [ -s "$root/usr/$file" ] || e2e_fail "the package lacks /usr/$file"
    case $(readelf -S "$root/usr/$file" 2>/dev/null || true) in *.symtab* | *.debug_info*) e2e_fail "$file is not stripped" ;; esac
done
desktop-file-validate "$root/usr/share/applications/$id.desktop" || e2e_fail "desktop-file-validate failed"
grep -qx "Icon=$id" "$root/usr/share/applications/$id.desktop" || e2e_fail "the desktop entry's icon is not $id"
# No errors or warnings but for a missing homepage (the project has none yet); Debian 13's
# appstreamcli adds hints (level I), such as a missing developer name, which do not count.
remarks=$(appstreamcli validate-tree --no-net "$root" 2>&1 | grep -E '^ *[EW]: ' | grep -v url-homepage-missing || true)
[ -z "$remarks" ] || e2e_fail "appstreamcli validate-tree: $remarks"
# Software centres list only what appstreamcli compose accepts: an icon of 64 px or more.
[ -x /usr/libexec/appstreamcli-compose ] || e2e_skip "not installed: appstream-compose"
appstreamcli compose --no-color --origin velmor --result-root="$E2E_TMP/catalogue" "$root" >"$E2E_TMP/compose.log" 2>&1 &&
    ! grep -E '^ *[EW]: ' "$E2E_TMP/compose.log" && zgrep -q '<icon type="cached" width="128"' \
    "$E2E_TMP/catalogue/usr/share/swcatalog/xml/velmor.xml.gz" || e2e_fail "appstreamcli compose: $(cat "$E2E_TMP/compose.log")"
depends=$(dpkg-deb -f "$deb" Depends)
# Debian 13 names the 64-bit-time builds of some libraries with a suffix (libcups2t64).
for package in libqt6widgets6 libcups2 fonts-arphic-uming fonts-wqy-microhei qt6-wayland; do
    grep -Eq "\b$package(t64)?\b" <<<"$depends" || e2e_fail "the package does not depend on $package: $depends"
done
! readelf -d "$root/usr/bin/velmor" | grep -q 'NEEDED.*libcups' || e2e_fail "velmor links libcups (loaded at the first 打印)"
