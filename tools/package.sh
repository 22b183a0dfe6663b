#!/usr/bin/env bash
# Builds the Debian package quorvid_VERSION_ARCH.deb from debian/ and copies it,
# with its .changes and .buildinfo, into build-deb/ (or the folder given as the
# first argument), then shows what lintian finds. The build runs in a copy of
# the tree in a temporary folder, so the checkout stays clean and two builds
# can run side by side.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

output="$(realpath -m "${1:-$QUORVID_ROOT/build-deb}")"

quorvid_install_packaging

# The package's version, the program's and the one software centres show must
# agree, or the package would be labelled with a version it does not carry.
cmake_version="$(sed -n 's/^project(Quorvid VERSION \([^ )]*\).*/\1/p' "$QUORVID_ROOT/CMakeLists.txt")"
package_version="$(dpkg-parsechangelog -l "$QUORVID_ROOT/debian/changelog" -S Version)"
metainfo_version="$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p;T;q' \
    "$QUORVID_ROOT"/resources/*.metainfo.xml)"
if [ "$package_version" != "$cmake_version" ] || [ "$metainfo_version" != "$cmake_version" ]; then
    echo "Version mismatch: CMakeLists.txt $cmake_version, debian/changelog $package_version," \
        "metainfo $metainfo_version. Add a changelog entry (dch -v $cmake_version) and a" \
        "<release> to the metainfo." >&2
    exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/quorvid"
tar -C "$QUORVID_ROOT" --exclude=./.git --exclude='./build*' -cf - . | tar -C "$work/quorvid" -xf -

# No debug-symbol package: nobody installs it from a local build.
(cd "$work/quorvid" &&
    DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:+$DEB_BUILD_OPTIONS }noddebs" dpkg-buildpackage -b -us -uc -j"$(nproc)")

stem="quorvid_${package_version}_$(dpkg-architecture -qDEB_HOST_ARCH)"
mkdir -p "$output"
cp "$work/$stem.deb" "$work/$stem.changes" "$work/$stem.buildinfo" "$output/"
echo "Built $output/$stem.deb"
echo "lintian:"
lintian --fail-on error "$output/$stem.changes"
