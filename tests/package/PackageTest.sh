#!/usr/bin/env bash
# Builds the Debian package with tools/package.sh into a temporary folder and
# checks it without installing it: the package carries everything the CMake
# install puts in place, the programs sit together in /usr/lib/quorvid with
# their links and manual pages, the run-time dependencies are declared, the
# desktop entry and the metainfo validate, and lintian finds no error.
#
# Usage: PackageTest.sh SOURCE_DIR BUILD_DIR
# QUORVID_HAS_EXTRACTOR and QUORVID_HAS_BATCH (1 or 0) say whether the build
# has those programs.
set -uo pipefail

source_dir=$1
build_dir=$2
skip=77

for tool in dpkg-buildpackage dh lintian desktop-file-validate appstreamcli; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is missing (tools/test.sh installs the packaging tools)"
        exit $skip
    fi
done
if ! unmet="$(cd "$source_dir" && dpkg-checkbuilddeps 2>&1)"; then
    echo "SKIP: the package's build dependencies are missing: $unmet"
    exit $skip
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# A version bumped in CMake alone must stop the build before it labels a
# package with the old version.
mkdir "$work/bumped"
tar -C "$source_dir" --exclude=./.git --exclude='./build*' -cf - . | tar -C "$work/bumped" -xf -
sed -i 's/^project(Quorvid VERSION [^ )]*/project(Quorvid VERSION 99.1/' "$work/bumped/CMakeLists.txt"
if "$work/bumped/tools/package.sh" "$work/bumped-out" >"$work/bumped.log" 2>&1; then
    fail "a CMake version that debian/changelog lacks still built a package"
elif ! grep -q "Version mismatch" "$work/bumped.log"; then
    fail "the bumped version failed for another reason:"
    cat "$work/bumped.log"
fi

echo "Building the package (this compiles the whole program)..."
if ! "$source_dir/tools/package.sh" "$work/out" >"$work/package.log" 2>&1; then
    cat "$work/package.log"
    echo "FAIL: tools/package.sh failed (a lintian error fails it too)"
    exit 1
fi
sed -n '/^lintian:/,$p' "$work/package.log"

version="$(sed -n 's/^project(Quorvid VERSION \([^ )]*\).*/\1/p' "$source_dir/CMakeLists.txt")"
deb="$work/out/quorvid_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb"
if [ ! -f "$deb" ]; then
    echo "FAIL: no $(basename "$deb") in the output folder:"
    ls "$work/out"
    exit 1
fi

# Dependencies: the metadata library is loaded with dlopen, so only the
# control file can pull it in; the spreadsheet application is optional.
depends="$(dpkg-deb -f "$deb" Depends)"
recommends="$(dpkg-deb -f "$deb" Recommends)"
expected_depends=(libmediainfo0v5 libqt6widgets6 libglib2.0-0 libxlsxwriter)
if [ "${QUORVID_HAS_EXTRACTOR:-0}" = 1 ]; then
    expected_depends+=(libseccomp2)
fi
for package in "${expected_depends[@]}"; do
    grep -q "\b$package" <<<"$depends" || fail "Depends lacks $package: $depends"
done
grep -q libreoffice <<<"$depends" && fail "LibreOffice must not be required: $depends"
grep -q "\blibreoffice-calc\b" <<<"$recommends" || fail "Recommends lacks libreoffice-calc: $recommends"

# Nothing may stay behind after "apt remove": no configuration files.
mkdir "$work/control"
dpkg-deb -e "$deb" "$work/control"
[ -s "$work/control/conffiles" ] && fail "the package has configuration files: $(cat "$work/control/conffiles")"

root="$work/root"
dpkg-deb -x "$deb" "$root"

# Whatever the CMake install puts in place is in the package, manual pages
# compressed.
DESTDIR="$work/stage" cmake --install "$build_dir" --prefix /usr >/dev/null ||
    fail "cmake --install of $build_dir failed"
while IFS= read -r -d '' installed; do
    relative="${installed#"$work/stage"}"
    case "$relative" in
        /usr/share/man/*) relative="$relative.gz" ;;
    esac
    [ -e "$root$relative" ] || [ -L "$root$relative" ] || fail "installed but not packaged: $relative"
done < <(find "$work/stage" \( -type f -o -type l \) -print0)

programs=(quorvid)
[ "${QUORVID_HAS_EXTRACTOR:-0}" = 1 ] && programs+=(quorvid-extractor)
for program in "${programs[@]}"; do
    [ -x "$root/usr/lib/quorvid/$program" ] || fail "/usr/lib/quorvid/$program is missing"
done
for beside in x/o.cjs HAND-M.CUR drag.ico Splash Samples; do
    [ -e "$root/usr/lib/quorvid/$beside" ] || fail "/usr/lib/quorvid/$beside is missing"
done

commands=(quorvid)
[ "${QUORVID_HAS_BATCH:-0}" = 1 ] && commands+=(quorvid-batch)
for command in "${commands[@]}"; do
    link="$root/usr/bin/$command"
    if [ ! -L "$link" ] || [ "$(realpath -m "$link")" != "$(realpath -m "$root/usr/lib/quorvid/$command")" ]; then
        fail "/usr/bin/$command is not a link to /usr/lib/quorvid/$command"
    fi
    [ -f "$root/usr/share/man/man1/$command.1.gz" ] || fail "no manual page for $command"
done

for size in 16 22 24 32 48 64 128 256; do
    [ -f "$root/usr/share/icons/hicolor/${size}x${size}/apps/quorvid.png" ] ||
        fail "no ${size}x${size} icon"
done

# The desktop entry and the metainfo validate, and each names what the
# package really holds: the command, the icon, the desktop entry.
desktop="$root/usr/share/applications/quorvid.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects quorvid.desktop"
exec_command="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
[ -e "$root/usr/bin/$exec_command" ] || fail "the desktop entry runs $exec_command, which is not in /usr/bin"
icon="$(sed -n 's/^Icon=//p' "$desktop")"
[ -f "$root/usr/share/icons/hicolor/256x256/apps/$icon.png" ] || fail "the desktop entry's icon $icon is not in the theme"
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
if [ ! -f "${metainfo[0]}" ]; then
    fail "no metainfo in /usr/share/metainfo"
else
    appstreamcli validate --no-net "${metainfo[0]}" || fail "appstreamcli rejects $(basename "${metainfo[0]}")"
    launchable="$(sed -n 's/.*<launchable type="desktop-id">\(.*\)<\/launchable>.*/\1/p' "${metainfo[0]}")"
    [ -f "$root/usr/share/applications/$launchable" ] || fail "the metainfo launches $launchable, which is not packaged"
fi

[ -f "$root/usr/share/doc/quorvid/copyright" ] || fail "no copyright file"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed; package contents:"
    dpkg-deb -c "$deb"
    exit 1
fi
echo "Package $(basename "$deb") passes."
