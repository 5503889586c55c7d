#!/usr/bin/env bash
# Builds the Debian package telmorax_VERSION_ARCH.deb in the repository's folder, from a clean
# build of the program alone (in build-package/), with Debian's own compiler and linker flags
# (dpkg-buildflags, every hardening feature on). Install it with: sudo apt install ./telmorax_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
for flags in CPPFLAGS CXXFLAGS LDFLAGS; do
  export "$flags=$(dpkg-buildflags --get "$flags")"
done
export CXXFLAGS="$CXXFLAGS $CPPFLAGS"  # CMake reads no CPPFLAGS
rm -rf build-package
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DTELMORAX_BUILD_TESTS=OFF -DTELMORAX_BUILD_BENCH=OFF
cmake --build build-package -j "$(nproc)" --target telmorax
(cd build-package && cpack -G DEB)
cp build-package/telmorax_*.deb .
ls -l telmorax_*.deb
