#!/usr/bin/env bash
# Builds the Debian packages iveva-tools and iveva-gauge-sim (<name>_<version>_<arch>.deb) into
# build/. A fresh folder build/deb is configured with the compiler and linker flags of
# dpkg-buildflags (hardening included) and without the tests; CPack strips the programs in the
# packages, the debug information stays in build/deb. Depends comes from dpkg-shlibdeps (dpkg-dev
# and file), and the build stops when it does not name Qt's libraries.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

iveva_install_missing "${iveva_packages[@]}" dpkg-dev file
deb_build="$IVEVA_BUILD/deb"
rm -rf "$deb_build"
mkdir -p "$IVEVA_BUILD"
rm -f "$IVEVA_BUILD"/iveva-tools_*.deb "$IVEVA_BUILD"/iveva-gauge-sim_*.deb

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# CMake reads neither CPPFLAGS nor the environment's flags once a cache exists: pass them on.
cmake -S "$IVEVA_ROOT" -B "$deb_build" -G Ninja "${launcher[@]}" \
    -DCMAKE_BUILD_TYPE=None -DBUILD_TESTING=OFF \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake --build "$deb_build" --target package
mv "$deb_build"/*.deb "$IVEVA_BUILD"/

for package in "$IVEVA_BUILD"/iveva-tools_*.deb "$IVEVA_BUILD"/iveva-gauge-sim_*.deb; do
    echo "Paket: $package"
done
echo "Installieren mit: apt-get install $IVEVA_BUILD/iveva-tools_*.deb $IVEVA_BUILD/iveva-gauge-sim_*.deb"
