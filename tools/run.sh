#!/usr/bin/env bash
# Sets everything up and starts Quorvid.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

quorvid_install_missing "${quorvid_build_packages[@]}" "${quorvid_runtime_packages[@]}"
# The spreadsheet export shows its workbook in LibreOffice Calc (the full
# application: the headless package the tests use cannot open a window).
quorvid_install_missing libreoffice-calc
quorvid_build_programs
exec "$QUORVID_PROGRAM_BUILD/quorvid"
