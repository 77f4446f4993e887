# The project's version, defined once by project(Morvane VERSION ...) in CMakeLists.txt. Sourced
# by the scripts that need it (the window title "Morvane v<version>", the package's file name).
#
#   project_version BUILD   prints the version CMake recorded when it configured BUILD
project_version() {
    local version
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt" 2>/dev/null)
    if [ -z "$version" ]; then
        echo "project_version: $1 is not a configured build folder" >&2
        return 1
    fi
    printf '%s\n' "$version"
}
