# Sourced by the top-level scripts: installs the Debian packages that are missing.

# Packages every build needs (update bundles: libarchive for ZIP, libsodium for
# their signatures and hashes), then the tools that make the Debian package
# (./package.sh: dpkg-shlibdeps reads the programs' libraries, found by `file`)
# and check it (the packaging test: desktop-file-validate, man).
CORVANE_BUILD_PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-serialport-dev libgtest-dev
                        libarchive-dev libsodium-dev
                        dpkg-dev file desktop-file-utils man-db)
# Programs only the tests run: lintian on the package, and minisign, whose
# signatures the updater must take and which must take the updater's.
CORVANE_TEST_PACKAGES=(lintian minisign)

ensure_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing missing packages: ${missing[*]}"
    "${sudo[@]}" apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
}
