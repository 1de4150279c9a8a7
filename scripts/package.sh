#!/usr/bin/env bash
# Builds the Debian package of Plivora in build-package/: the four programs,
# the desktop entry, the icons and the manual pages, installed under /usr.
#   sudo apt-get install ./build-package/plivora_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DPLIVORA_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build-package -j"$(nproc)"
(cd build-package && cpack -G DEB)
ls build-package/plivora_*.deb
