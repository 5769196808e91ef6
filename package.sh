#!/usr/bin/env bash
# Builds the Debian package of the updater in build-package/ and prints the
# path of the .deb. The programs are built as the test suite builds them
# (optimised, with debug information, which CPack strips) and installed under /usr:
#   ./package.sh
#   sudo apt install ./build-package/corvane-pelto-updater_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh

ensure_packages "${CORVANE_BUILD_PACKAGES[@]}"
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr > /dev/null
cmake --build build-package --target corvane-updater corvane-tool corvane-cardsim man-pages debian-changelog
rm -f build-package/corvane-pelto-updater_*.deb
# CPack's progress is shown only when it fails.
if ! log=$(cd build-package && cpack -G DEB 2>&1); then
    echo "$log" >&2
    exit 1
fi
ls "$PWD"/build-package/corvane-pelto-updater_*.deb
