#!/usr/bin/env bash
# Installs the Debian packages Quorvid needs that are missing, then configures
# and builds it in ./build. Sourced by run.sh and test.sh.
set -euo pipefail

QUORVID_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
QUORVID_BUILD="$QUORVID_ROOT/build"

quorvid_install_missing() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

quorvid_build_packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-image-formats-plugins libgl-dev
    libmediainfo0v5 libglib2.0-dev libxlsxwriter-dev fonts-liberation
)

quorvid_build() {
    cmake -S "$QUORVID_ROOT" -B "$QUORVID_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$QUORVID_BUILD" -j "$(nproc)"
}

# What building the Debian package needs: the packaging tools and the build
# dependencies debian/control names.
quorvid_install_packaging() {
    quorvid_install_missing dpkg-dev debhelper lintian
    local unmet
    unmet="$(cd "$QUORVID_ROOT" && dpkg-checkbuilddeps 2>&1 >/dev/null |
        sed -n 's/.*Unmet build dependencies: //p' | sed 's/([^)]*)//g')" || true
    if [ -n "$unmet" ]; then
        # shellcheck disable=SC2086 # one package name per word
        quorvid_install_missing $unmet
    fi
}
