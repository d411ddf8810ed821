#!/bin/bash
# What a user's machine sees: the set-up script has nothing left to do, the
# Debian package is built and clean for lintian, it holds what a desktop
# needs, depends on Qt and recommends its Wayland plugin, its menu entry and
# AppStream data validate, and the program unpacked from it opens its own copy
# of the demo ROM.
#   install_test.sh SOURCE_DIR BUILD_DIR WORK_DIR APP_ID
set -u
src=$1
build=$2
work=$3
id=$4
rm -rf "$work"
mkdir -p "$work"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

said=$("$src/scripts/install-deps" test 2>&1) || fail "install-deps test ended with an error: $said"
[ -z "$said" ] || fail "install-deps said something with everything installed: $said"

cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$work/cpack.log")"
debs=("$work"/package/kestrel_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || fail "no kestrel_*.deb built: $(cat "$work/cpack.log")"

lintian "$deb" >"$work/lintian.log" 2>&1
grep '^E:' "$work/lintian.log" && fail "lintian reports errors (above)"
cat "$work/lintian.log"

dpkg-deb --contents "$deb" >"$work/contents.txt" || fail "dpkg-deb --contents"
for path in usr/bin/kestrel usr/bin/kestrel-run usr/share/man/man1/kestrel-run.1.gz \
    "usr/share/applications/$id.desktop" \
    "usr/share/icons/hicolor/scalable/apps/$id.svg" "usr/share/metainfo/$id.metainfo.xml" \
    usr/share/doc/kestrel/copyright usr/share/doc/kestrel/changelog.gz usr/share/doc/kestrel/roms/demo.ch8; do
    grep -q " \./$path\$" "$work/contents.txt" || fail "the package lacks /$path"
done
depends=$(dpkg-deb -f "$deb" Depends)
[[ "$depends" == *libqt6widgets6* ]] || fail "Depends names no Qt widgets library: $depends"
[[ "$depends" == *libsdl2-2.0-0* ]] || fail "Depends names no SDL, which the tone loads: $depends"
recommends=$(dpkg-deb -f "$deb" Recommends)
[[ "$recommends" == *qt6-wayland* ]] || fail "Recommends names no qt6-wayland: $recommends"

root="$work/root"
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
grep -qx "StartupWMClass=$id" "$root/usr/share/applications/$id.desktop" ||
    fail "the menu entry's StartupWMClass is not $id, the window's class"
# Kestrel has no homepage and invents none. appstream 1.0.2 and later ask for
# one and take this override for a component without it; 0.16 asks for none,
# and rejects an override it does not know.
validate=(appstreamcli validate --no-net)
as_version=$(appstreamcli --version | grep -o '[0-9][0-9.]*' | head -n 1)
if [ "$(printf '%s\n' 1.0.2 "$as_version" | sort -V | head -n 1)" = 1.0.2 ]; then
    validate+=(--override=url-homepage-missing=info)
fi
"${validate[@]}" "$root/usr/share/metainfo/$id.metainfo.xml" >"$work/appstream.log" 2>&1 ||
    fail "appstreamcli $as_version validate: $(cat "$work/appstream.log")"
grep -E '^[EW]:' "$work/appstream.log" && fail "appstreamcli $as_version warns about the AppStream data (above)"

"$src/tests/e2e/open_demo_test.sh" "$root/usr/bin/kestrel" "$root/usr/share/doc/kestrel/roms/demo.ch8" \
    "$work/screens" || fail "the unpacked program did not show the demo"
