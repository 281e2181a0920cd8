#!/usr/bin/env bash
# Builds the Debian package of rangeloom: installs the packages the build
# needs (when root), builds the programs without tests and benchmarks in
# build-package/, and runs CPack there. Prints the package's path.
#   scripts/package.sh
# Then, as root: apt-get install ./build-package/rangeloom_VERSION_ARCH.deb
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build-package
"$ROOT/scripts/setup.sh" package
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRANGELOOM_TESTS=OFF \
  -DRANGELOOM_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" -- --no-print-directory >/dev/null
(cd "$BUILD" && cpack -G DEB) | sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p'
