#!/usr/bin/env bash
# Builds the Debian package iveva-tools_<version>_<arch>.deb into build/ and checks that its
# Depends names Qt's libraries (dpkg-shlibdeps, from dpkg-dev and file, computes them).
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

iveva_install_missing dpkg-dev file
iveva_build
rm -f "$IVEVA_BUILD"/iveva-tools_*.deb
cmake --build "$IVEVA_BUILD" --target package

shopt -s nullglob
packages=("$IVEVA_BUILD"/iveva-tools_*.deb)
if [ ${#packages[@]} -ne 1 ]; then
    echo "Erwartet genau ein Paket iveva-tools_*.deb in $IVEVA_BUILD, gefunden: ${#packages[@]}" >&2
    exit 1
fi
depends="$(dpkg-deb --field "${packages[0]}" Depends)"
if ! grep -q 'libqt6serialport6' <<<"$depends"; then
    echo "Depends von ${packages[0]} nennt libqt6serialport6 nicht: $depends" >&2
    exit 1
fi
echo "Paket: ${packages[0]}"
echo "Installieren mit: apt-get install ${packages[0]}"
