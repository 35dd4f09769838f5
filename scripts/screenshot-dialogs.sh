#!/bin/sh
# Pictures of the settings pages, the about box and the file transfer dialog side by side,
# under a virtual X server, at 96 DPI, at 120 DPI scaled (device pixel ratio 1.25) and at
# 120 DPI with larger fonts instead, and a list of every control that is cut off and every
# list box or multi-line field whose border the picture does not show.
# Usage: scripts/screenshot-dialogs.sh [BUILD_DIR]   (default build-dialogs)
# The PNGs land in BUILD_DIR/screenshots; the status is non-zero when anything is cut off or
# a border is missing.
set -eu

build_dir=${1:-build-dialogs}
command -v xvfb-run >/dev/null 2>&1 || {
    echo "screenshot-dialogs: xvfb-run is missing (apt-get install xvfb xauth)" >&2
    exit 1
}
[ -f "$build_dir/CMakeCache.txt" ] || cmake -S . -B "$build_dir" -G Ninja >/dev/null
log="$build_dir/screenshots-build.log"
if ! cmake --build "$build_dir" --target dialog_screenshots >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
fi

out="$build_dir/screenshots"
mkdir -p "$out"
program="$build_dir/tests/dialog_screenshots"
status=0

shoot() {
    name=$1
    shift
    env QT_QPA_PLATFORM=xcb "$@" xvfb-run -a -s "-screen 0 1600x900x24" \
        "$program" "$out/dialogs-$name.png" || status=1
}

shoot 96dpi QT_FONT_DPI=96
shoot 120dpi-scaled QT_FONT_DPI=120
shoot 120dpi-fonts QT_FONT_DPI=120 QT_ENABLE_HIGHDPI_SCALING=0
exit $status
