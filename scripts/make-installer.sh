#!/usr/bin/env bash
# make-installer.sh: the Windows installer, OUTDIR/kestrel-VERSION-setup.exe, made by CPack's NSIS generator (Debian's
# makensis) from the Windows build: kestrel.exe, button.wav, the sample theatres and README.txt, with the installer
# script resources/packaging/nsis/NSIS.template.in.
#
# Usage: scripts/make-installer.sh [OUTDIR]   (default build/release; `make installer` builds what it needs first)
# Needs the Windows build configured (KESTREL_WIN32_BUILD for another folder) and build/theatres. Prints the path.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/release}
build=${KESTREL_WIN32_BUILD:-build/win32}
[ -f "$build/CPackConfig.cmake" ] || cmake --preset win32 >/dev/null
cmake --build "$build" --target kestrel kestrel_readme_txt >/dev/null
. scripts/cpack-package.sh
cpack_package "$build" NSIS 'kestrel-*-setup.exe' "$out"
