#!/usr/bin/env bash
# Cross-builds the parts of Qt that Morvane uses (Core, Gui, Widgets, Test, the windows and
# offscreen platform plugins, the windowsvista style) for 64-bit Windows with mingw-w64, from the
# Debian source of the Qt version installed on this machine, and installs them into a cache
# folder keyed by that version and by the configuration below. Debian's own Qt serves as the
# host tools (moc, rcc, uic).
#
# A finished cache is reused at once; an interrupted run resumes where it stopped. The last line
# printed on standard output is the Qt prefix, whose lib/cmake/Qt6/qt.toolchain.cmake a project
# uses as its CMake toolchain file.
#
#   --count-steps           configure only and print the number of build steps (to compare
#                           configurations cheaply); nothing is built or installed
#   MORVANE_QT_JOBS         parallel compile jobs (default 2)
#   MORVANE_QT_KEEP_BUILD=1 keep the sources and build tree after a successful install
#   XDG_CACHE_HOME          the cache root (default ~/.cache); the Qt goes under morvane/ there
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
source "$repo/scripts/packages.sh"

say() { printf 'build-qt-windows: %s\n' "$*" >&2; }
die() { say "error: $*"; exit 1; }

ensure_packages "${QT_WINDOWS_PACKAGES[@]}"

count_only=0
case "${1:-}" in
    "") ;;
    --count-steps) count_only=1 ;;
    *) die "unknown argument '$1' (the only option is --count-steps)" ;;
esac

qt_version="$(dpkg-query -W -f='${Version}' qt6-base-dev)"
[ -n "$qt_version" ] || die "cannot tell which qt6-base-dev is installed"

# What Morvane and its tests use of Qt, and no more: every feature switched off here is code
# that is neither compiled nor shipped in morvane-windows/. Before switching another one off,
# grep src/ and tests/ for the classes it provides. Kept on purpose, for the windows planned
# next: accessibility, the item models and views (QTreeView, QSortFilterProxyModel), drag and
# drop, the clipboard, QFileDialog, QMessageBox, QProgressDialog, undo in the text editors,
# QMainWindow with its menus, tool bars and status bar, PNG, BMP and ICO images.
features=(
    # Modules Morvane does not use.
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF
    # No OpenGL at all: the program paints with the raster engine only. Setting the input
    # (rather than FEATURE_opengl alone) also turns dynamic OpenGL off, without which the
    # windows platform plugin does not compile in this version. Qt's OpenGL modules go with it.
    -DINPUT_opengl=no -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF
    # Debian's source package leaves out the Wintab headers tablet events need.
    -DFEATURE_tabletevent=OFF
    # The offscreen platform plugin, used by the tests, draws text with FreeType.
    -DFEATURE_freetype=ON
    -DFEATURE_icu=OFF -DFEATURE_glib=OFF -DFEATURE_zstd=OFF
    # Nothing is taken from the mingw sysroot: Qt's bundled copies are built instead.
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_freetype=OFF
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF
    -DFEATURE_system_doubleconversion=OFF
    # Images, documents and desktop services nothing in Morvane reads, writes or offers.
    -DFEATURE_gif=OFF -DFEATURE_jpeg=OFF -DFEATURE_imageformat_ppm=OFF -DFEATURE_movie=OFF
    -DFEATURE_picture=OFF -DFEATURE_pdf=OFF -DFEATURE_textodfwriter=OFF
    -DFEATURE_textmarkdownreader=OFF -DFEATURE_textmarkdownwriter=OFF
    -DFEATURE_sessionmanager=OFF -DFEATURE_systemtrayicon=OFF
    -DFEATURE_jalalicalendar=OFF -DFEATURE_hijricalendar=OFF -DFEATURE_islamiccivilcalendar=OFF
    -DFEATURE_sharedmemory=OFF -DFEATURE_systemsemaphore=OFF -DFEATURE_gestures=OFF
    # Widgets and dialogs Morvane never creates. (The windowsvista style needs QInputDialog.)
    -DFEATURE_calendarwidget=OFF -DFEATURE_datetimeedit=OFF -DFEATURE_colordialog=OFF
    -DFEATURE_fontdialog=OFF -DFEATURE_fontcombobox=OFF
    -DFEATURE_errormessage=OFF -DFEATURE_wizard=OFF -DFEATURE_mdiarea=OFF -DFEATURE_dockwidget=OFF
    -DFEATURE_graphicsview=OFF -DFEATURE_graphicseffect=OFF -DFEATURE_lcdnumber=OFF
    -DFEATURE_dial=OFF -DFEATURE_splashscreen=OFF -DFEATURE_keysequenceedit=OFF
    -DFEATURE_columnview=OFF -DFEATURE_datawidgetmapper=OFF -DFEATURE_undoview=OFF
    -DFEATURE_undogroup=OFF -DFEATURE_textbrowser=OFF -DFEATURE_syntaxhighlighter=OFF
    -DFEATURE_scroller=OFF -DFEATURE_toolbox=OFF -DFEATURE_commandlinkbutton=OFF
    -DFEATURE_tablewidget=OFF -DFEATURE_treewidget=OFF -DFEATURE_listwidget=OFF
)

fetch_source() {
    local src="$work/qtbase"
    [ -f "$src/.morvane-unpacked" ] && return 0
    # A private apt configuration with source entries for this machine's own Debian suites,
    # read from the system's entries; the system's apt state and configuration stay as they are.
    local apt="$work/apt"
    rm -rf "$apt" "$src" "$work/download"
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/sources.list.d" \
        "$work/download"
    local codename
    codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
    [ -n "$codename" ] || die "cannot tell this machine's Debian suite from /etc/os-release"
    # Entries of other suites (third-party repositories) are left out: they may have no sources.
    local file
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        awk -v codename="$codename" '
            BEGIN { RS = ""; ORS = "\n\n" }
            {
                own = 0; binary = 0; n = split($0, lines, "\n"); stanza = ""
                for (i = 1; i <= n; i++) {
                    line = lines[i]
                    if (line ~ /^Types:/) {
                        if (line ~ /[ \t]deb([ \t]|$)/) binary = 1
                        line = "Types: deb-src"
                    } else if (line ~ /^Suites:/) {
                        m = split(substr(line, 8), suites, /[ \t]+/)
                        for (j = 1; j <= m; j++)
                            if (suites[j] == codename || index(suites[j], codename "-") == 1) own = 1
                    }
                    stanza = stanza line "\n"
                }
                if (own && binary) print stanza
            }' "$file" >"$apt/sources.list.d/$(basename "$file")"
    done
    if [ -f /etc/apt/sources.list ]; then
        awk -v codename="$codename" '
            $1 == "deb" {
                fields = $0; gsub(/\[[^]]*\]/, "", fields); split(fields, f)
                if (f[3] == codename || index(f[3], codename "-") == 1) { sub(/^deb/, "deb-src"); print }
            }' /etc/apt/sources.list >"$apt/sources.list"
    else
        : >"$apt/sources.list"
    fi
    grep -qs '^\(Types: \)\?deb-src' "$apt/sources.list" "$apt"/sources.list.d/*.sources \
        || die "no Debian $codename package sources found in /etc/apt to derive source entries from"
    local options=(
        -o "Dir::Etc::SourceList=$apt/sources.list"
        -o "Dir::Etc::SourceParts=$apt/sources.list.d"
        -o "Dir::State::Lists=$apt/lists"
        -o "Dir::Cache=$apt/cache"
        -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache="
        -o "APT::Sandbox::User=$(id -un)"
        -o "Debug::NoLocking=1"
    )
    say "fetching the qt6-base $qt_version source package (about 46 MB)"
    apt-get "${options[@]}" -qq update >&2
    (cd "$work/download" && apt-get "${options[@]}" -q --download-only source "qt6-base=$qt_version" >&2)
    say "unpacking and applying Debian's patches"
    local dsc=("$work"/download/qt6-base_*.dsc)
    [ -f "${dsc[0]}" ] || die "apt did not download a qt6-base .dsc into $work/download"
    dpkg-source --no-check --no-copy -x "${dsc[0]}" "$src.partial" >&2 || { rm -rf "$src.partial"; die "dpkg-source failed"; }
    rm -rf "$src" && mv "$src.partial" "$src"
    touch "$src/.morvane-unpacked"
    rm -rf "$work/download" "$apt"
}

# In Qt 6.4.2 the DirectWrite font database is compiled into Qt6Gui only with Direct2D, but the
# windows platform plugin refers to it whenever DirectWrite 3 is available, so without Direct2D
# the plugin does not link. The plugin's default font database (GDI) is unaffected.
patch_source() {
    local file="$work/qtbase/src/plugins/platforms/windows/qwindowsintegration.cpp"
    grep -q '^#if QT_CONFIG(directwrite3)$' "$file" || return 0
    sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' "$file"
}

configure_qt() {
    local build="$1"
    # Shared Qt libraries with the C and C++ runtimes linked into each of them (as Morvane.exe
    # has them), so a Windows machine needs nothing from the toolchain beside the Qt DLLs.
    local runtime="-static -static-libgcc -static-libstdc++"
    local args=(
        -G Ninja
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw-w64-x86_64.cmake"
        -DCMAKE_BUILD_TYPE=Release
        -DCMAKE_INSTALL_PREFIX="$prefix"
        -DCMAKE_STRIP=/usr/bin/x86_64-w64-mingw32-strip
        -DCMAKE_SHARED_LINKER_FLAGS="$runtime"
        -DCMAKE_MODULE_LINKER_FLAGS="$runtime"
        -DQT_HOST_PATH=/usr
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
        -DBUILD_SHARED_LIBS=ON
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
        "${features[@]}"
    )
    local wanted
    wanted="$(printf '%s\n' "${args[@]}")"
    if [ -f "$build/build.ninja" ] && [ -f "$build/.morvane-configure-args" ] \
        && [ "$(cat "$build/.morvane-configure-args")" = "$wanted" ]; then
        say "configuration up to date, resuming the build"
        return 0
    fi
    say "configuring Qt in $build (about 30 s; log: $build/configure.log)"
    rm -rf "$build"
    mkdir -p "$build"
    if ! cmake -S "$work/qtbase" -B "$build" "${args[@]}" >"$build/configure.log" 2>&1; then
        tail -n 40 "$build/configure.log" >&2
        die "configuring Qt failed; the whole log is $build/configure.log"
    fi
    printf '%s' "$wanted" >"$build/.morvane-configure-args"
}

# Runs ninja with its output in a log, printing a progress line every 5 % and on failure the
# end of the log.
build_qt() {
    local build="$work/build" log="$work/build/build.log"
    local total
    total="$(ninja -C "$build" -n 2>/dev/null | grep -c '^\[' || true)"
    say "compiling: $total steps left with $jobs jobs (15 to 25 minutes from nothing on 2 cores; log: $log)"
    local start=$SECONDS shown=-1 line done_steps all percent status
    : >"$log"
    set +e
    NINJA_STATUS='[%f/%t] ' ninja -C "$build" -j "$jobs" >"$log" 2>&1 &
    local ninja_pid=$!
    trap 'kill "$ninja_pid" 2>/dev/null' EXIT INT TERM
    while kill -0 "$ninja_pid" 2>/dev/null; do
        line="$(grep -o '^\[[0-9]*/[0-9]*\]' "$log" | tail -n 1)"
        if [[ "$line" =~ ^\[([0-9]+)/([0-9]+)\]$ ]]; then
            done_steps=${BASH_REMATCH[1]} all=${BASH_REMATCH[2]}
            percent=$((done_steps * 100 / all))
            if [ $((percent / 5)) -ne "$shown" ]; then
                shown=$((percent / 5))
                say "$(printf '%3d %% (%d/%d steps, %d min %02d s)' "$percent" "$done_steps" "$all" \
                    $(((SECONDS - start) / 60)) $(((SECONDS - start) % 60)))"
            fi
        fi
        sleep 5
    done
    wait "$ninja_pid"
    status=$?
    trap - EXIT INT TERM
    set -e
    if [ "$status" -ne 0 ]; then
        grep -v '^\[' "$log" | tail -n 40 >&2
        die "compiling Qt failed; the whole log is $log (run again to resume)"
    fi
    say "compiled in $(((SECONDS - start) / 60)) min $(((SECONDS - start) % 60)) s"
}

install_qt() {
    say "installing into $prefix"
    rm -rf "$prefix"
    cmake --install "$work/build" --strip >"$work/build/install.log" 2>&1 \
        || { tail -n 20 "$work/build/install.log" >&2; die "installing Qt failed"; }
    [ -f "$prefix/bin/Qt6Widgets.dll" ] && [ -f "$prefix/plugins/platforms/qwindows.dll" ] \
        && [ -f "$prefix/plugins/platforms/qoffscreen.dll" ] \
        || die "the installed Qt lacks Qt6Widgets.dll or a platform plugin"
    touch "$done_stamp"
}

# The cache key names the Qt version with Debian's revision (6.4.2+dfsg-10 -> 6.4.2-10: the
# revision carries patches) and a digest of everything else that shapes the result: the
# features, the source fix, the toolchain file and the other configure options. A change to any
# of them builds into a new folder instead of reusing one made another way.
upstream="${qt_version%%+*}"
upstream="${upstream#*:}"
shape="$(printf '%s\n' "${features[@]}"; declare -f patch_source configure_qt;
    cat "$repo/cmake/toolchain-mingw-w64-x86_64.cmake")"
digest="$(printf '%s' "$shape" | sha256sum | cut -c1-12)"
key="qt-${upstream}-${qt_version##*-}-mingw-w64-x86_64-$digest"

cache="${XDG_CACHE_HOME:-$HOME/.cache}/morvane"
prefix="$cache/$key"
work="$cache/$key.work"
done_stamp="$prefix/.morvane-complete"

if [ "$count_only" = 0 ] && [ -f "$done_stamp" ]; then
    say "reusing $prefix"
    echo "$prefix"
    exit 0
fi

jobs="${MORVANE_QT_JOBS:-2}"
[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || die "MORVANE_QT_JOBS must be a positive number, not '$jobs'"
mkdir -p "$work"

exec 9>"$cache/$key.lock"
if ! flock -n 9; then
    say "another build of this Qt is running; waiting for it (at most an hour)"
    flock -w 3600 9 || die "gave up waiting for the other build ($cache/$key.lock)"
fi

if [ "$count_only" = 1 ]; then
    fetch_source
    patch_source
    configure_qt "$work/count-steps"
    steps="$(ninja -C "$work/count-steps" -n 2>/dev/null | grep -c '^\[' || true)"
    rm -rf "$work/count-steps"
    say "$steps build steps for $key"
    echo "$steps"
    exit 0
fi

if [ -f "$done_stamp" ]; then
    say "the other build finished: reusing $prefix"
    echo "$prefix"
    exit 0
fi

say "building Qt $qt_version for Windows (mingw-w64) into $prefix"
say "work folder: $work (about 1.5 GB while building)"
start_all=$SECONDS
fetch_source
patch_source
configure_qt "$work/build"
build_qt
install_qt
if [ "${MORVANE_QT_KEEP_BUILD:-0}" != 1 ]; then
    rm -rf "$work"
fi
say "done in $(((SECONDS - start_all) / 60)) min $(((SECONDS - start_all) % 60)) s: $(du -sh "$prefix" | cut -f1) in $prefix"
echo "$prefix"
