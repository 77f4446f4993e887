# Installs the Debian packages named as arguments that are not installed yet.
# Sourced by the build and test scripts.
ensure_packages() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing ${missing[*]}" >&2
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

# What every build needs: the compiler, CMake, Ninja and Qt 6 Widgets.
BUILD_PACKAGES=(g++ cmake ninja-build qt6-base-dev qt6-base-dev-tools libgl-dev zlib1g-dev)
# What the tests need on top: GoogleTest and the offscreen Qt platform.
TEST_PACKAGES=(googletest libgtest-dev libgmock-dev)
# What the install and package tests need: Debian's validators for the desktop entry, the
# AppStream metadata, the archive type, XML and manual pages, and the Debian package tools.
PACKAGING_PACKAGES=(desktop-file-utils appstream shared-mime-info libxml2-utils man-db dpkg-dev file lintian)
# The Windows build: the mingw-w64 cross compiler (posix threads), its tools, Wine to run the
# programs, and GoogleTest's source to cross-build it.
WINDOWS_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev wine wine64 googletest)
# What cross-building Qt for Windows needs (scripts/build-qt-windows.sh): Debian's Qt as the host
# tools, the tools to unpack its source package, and the cross compiler.
QT_WINDOWS_PACKAGES=(qt6-base-dev qt6-base-dev-tools cmake ninja-build dpkg-dev
    g++-mingw-w64-x86-64-posix mingw-w64-tools)
# What the Windows build of the program needs on top: the cross compiler, the icon converter,
# Wine with its fonts, fonts for the offscreen platform, GoogleTest's sources, a virtual
# display for the smoke run, and the tools that make the installer and read it back.
WINDOWS_APP_PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev icoutils wine wine64 fonts-wine
    fonts-dejavu-core googletest xvfb xauth openbox xdotool imagemagick wixl msitools)
