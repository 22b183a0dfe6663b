#!/usr/bin/env bash
# Installs the Debian packages Quorvid needs that are missing, and configures and
# builds it. Sourced by run.sh, test.sh and screenshot.sh.
set -euo pipefail

QUORVID_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Two build folders, so that starting the program never reconfigures the test
# build and the other way round.
QUORVID_PROGRAM_BUILD="$QUORVID_ROOT/build-run"
QUORVID_TEST_BUILD="$QUORVID_ROOT/build"

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

# Keep the README's "Building by hand" in step with these lists.
quorvid_build_packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev libgl-dev libglib2.0-dev libxlsxwriter-dev libseccomp-dev libssl-dev
)
quorvid_runtime_packages=(
    libmediainfo0v5 qt6-image-formats-plugins fonts-liberation
)
# fuse3 and libfuse3-dev: the slow file system the storage tests and benchmark
# mount (built with the tests; its tests are skipped where FUSE cannot be used).
# mediainfo: the program the extra fields' cells are compared with.
quorvid_test_packages=(
    googletest libgtest-dev libgmock-dev unzip xvfb xclip xdotool
    openssh-server openssh-client parallel fuse3 libfuse3-dev mediainfo
)

# The many-machines test starts an SSH server of its own on a loopback port;
# the one the package starts as a service would only open the machine. Where
# systemd is not the init (containers, chroots, CI), the package's init script
# started it and systemctl can only remove its links, so it is stopped through
# that script. Stopping it is hygiene, never a reason to fail the run.
quorvid_stop_ssh_service() {
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    if command -v systemctl >/dev/null && systemctl is-enabled --quiet ssh 2>/dev/null; then
        $sudo systemctl disable --quiet ssh 2>/dev/null || true
    fi
    if [ -d /run/systemd/system ]; then
        $sudo systemctl stop ssh 2>/dev/null || true
    elif [ -x /etc/init.d/ssh ] && [ -e /run/sshd.pid ]; then
        $sudo /etc/init.d/ssh stop >/dev/null 2>&1 || true
    fi
}

# Every program target, without tests or benchmarks.
quorvid_build_programs() {
    cmake -S "$QUORVID_ROOT" -B "$QUORVID_PROGRAM_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DBUILD_TESTING=OFF -DQUORVID_BUILD_BENCHMARKS=OFF >/dev/null
    cmake --build "$QUORVID_PROGRAM_BUILD" -j "$(nproc)"
}

# The programs, the tests and the benchmarks.
quorvid_build_all() {
    cmake -S "$QUORVID_ROOT" -B "$QUORVID_TEST_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DBUILD_TESTING=ON -DQUORVID_BUILD_BENCHMARKS=ON >/dev/null
    cmake --build "$QUORVID_TEST_BUILD" -j "$(nproc)"
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
