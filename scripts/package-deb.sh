#!/usr/bin/env bash
# Builds the Linux command line and packs it as a Debian package into build/package:
#   brenvik_<version>_<architecture>.deb  /usr/bin/brenvik, the udev rule that lets the plugdev
#                                         group use the bridges, and a man page made from --help
# Install it with `apt install ./build/package/brenvik_<version>_<architecture>.deb`; prints the
# package's path and size.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

cmake --preset native >/dev/null
cmake --build --preset native -j "${BRENVIK_JOBS:-2}" --target brenvik

version="$(sed -n 's/^project(BrenvikUSB VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
architecture="$(dpkg --print-architecture)"
program=build/native/cli/brenvik
stage="$(mktemp -d "${TMPDIR:-/tmp}/brenvik-deb.XXXXXX")"
trap 'rm -rf "$stage"' EXIT
chmod 0755 "$stage"

install -D -m 0755 -s "$program" "$stage/usr/bin/brenvik"
install -D -m 0644 usb_pipes/udev/60-brenvik-usb-bridge.rules \
    "$stage/usr/lib/udev/rules.d/60-brenvik-usb-bridge.rules"

# The man page: the name line, then --help and each sub-command's --help as they are, every line
# kept as written.
mkdir -p "$stage/usr/share/man/man1"
{
    printf '.TH BRENVIK 1 "" "brenvik %s" "User Commands"\n' "$version"
    printf '.SH NAME\nbrenvik \\- program and watch a Brenvik power supply through its USB bridge\n'
    printf '.SH DESCRIPTION\n.nf\n'
    for command in "" list status monitor read apply; do
        [ -z "$command" ] || printf '\n'
        # shellcheck disable=SC2086 # no sub-command: the program's own --help
        "$program" $command --help
    done | sed -e 's/\\/\\e/g' -e 's/^\([.'"'"']\)/\\\&\1/'
    printf '.fi\n.SH FILES\n.TP\n/usr/lib/udev/rules.d/60-brenvik-usb-bridge.rules\n'
    printf 'lets members of the plugdev group use the USB bridges (0403:6010, 0403:6011)\n'
} | gzip -9n >"$stage/usr/share/man/man1/brenvik.1.gz"
install -D -m 0644 /dev/stdin "$stage/usr/share/doc/brenvik/copyright" <<'TEXT'
Brenvik-USB command line. All rights reserved by its makers.
TEXT

# The packages of the shared libraries the program is linked to.
depends="$(ldd "$program" | awk '/=> \//{print $3}' | while read -r library; do
    dpkg -S "$library" 2>/dev/null || dpkg -S "$(readlink -f "$library")"
done | cut -d: -f1 | sort -u | paste -sd, | sed 's/,/, /g')"

mkdir -p "$stage/DEBIAN"
cat >"$stage/DEBIAN/control" <<CONTROL
Package: brenvik
Version: $version
Architecture: $architecture
Maintainer: Brenvik-USB developers <brenvik@localhost>
Depends: $depends
Section: electronics
Priority: optional
Installed-Size: $(du -sk "$stage/usr" | cut -f1)
Description: program and watch a Brenvik power supply through its USB bridge
 The command line companion of Brenvik-USB: status, monitoring, reading and
 applying settings, several bridges at once, through libftdi1 or a virtual
 supply, with USB traces that replay in the office.
CONTROL
cat >"$stage/DEBIAN/postinst" <<'SCRIPT'
#!/bin/sh
set -e
# The bridges' udev rule takes effect for bridges plugged in from now on.
if [ "$1" = configure ] && command -v udevadm >/dev/null 2>&1; then
    udevadm control --reload-rules 2>/dev/null || true
fi
SCRIPT
chmod 0755 "$stage/DEBIAN/postinst"

mkdir -p build/package
package="build/package/brenvik_${version}_${architecture}.deb"
fakeroot dpkg-deb --build -Zxz "$stage" "$package" >/dev/null
printf '%s  %s bytes\n' "$package" "$(stat -c %s "$package")"
