#!/usr/bin/env bash
# Builds the Windows program and packs it for distribution. Writes to build/package:
#   Brenvik-USB-<version>-setup.exe     per-user installer (NSIS), optional demo component
#   Brenvik-USB-<version>-portable.zip  the program, its images and the operator text
#   brenvik_<version>_<architecture>.deb the Linux command line (scripts/package-deb.sh)
# and prints each package's path and size.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

scripts/install-deps.sh

cmake --preset windows >/dev/null
cmake --build --preset windows -j "${BRENVIK_JOBS:-2}" --target brenvik_package

# The version as the build wrote it for the version resource.
version="$(sed -n 's/^#define BRENVIK_VERSION_TEXT "\(.*\)"$/\1/p' build/windows/generated/res/version.h)"
for package in "build/package/Brenvik-USB-$version-setup.exe" \
    "build/package/Brenvik-USB-$version-portable.zip"; do
    printf '%s  %s bytes\n' "$package" "$(stat -c %s "$package")"
done

scripts/package-deb.sh
