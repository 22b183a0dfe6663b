#!/usr/bin/env bash
# Sets everything up, builds and runs every test.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

quorvid_install_missing "${quorvid_build_packages[@]}" "${quorvid_runtime_packages[@]}" \
    "${quorvid_test_packages[@]}"
quorvid_stop_ssh_service
# The package test builds the Debian package and validates what it installs.
quorvid_install_packaging
quorvid_install_missing desktop-file-utils appstream
# The workbook round trip runs through the real spreadsheet application.
if ! command -v soffice >/dev/null && ! command -v libreoffice >/dev/null && ! command -v localc >/dev/null; then
    quorvid_install_missing libreoffice-calc-nogui
fi
quorvid_build_all
cd "$QUORVID_TEST_BUILD"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 -j "$(nproc)"
