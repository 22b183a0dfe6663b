#!/usr/bin/env bash
# Sets everything up and starts Quorvid.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

quorvid_install_missing "${quorvid_build_packages[@]}"
# The spreadsheet export hands its workbook to LibreOffice Calc.
if ! command -v soffice >/dev/null && ! command -v libreoffice >/dev/null && ! command -v localc >/dev/null; then
    quorvid_install_missing libreoffice-calc
fi
quorvid_build
exec "$QUORVID_BUILD/quorvid"
