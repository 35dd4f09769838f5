#!/bin/bash
# Screenshots of the desktop program under Xvfb with a window manager and a tray (icewm),
# fed by tollix-cli peers in network namespaces. The window sits at the right edge of the
# screen; its tree holds a group of two (one away, one who has just sent a text, which is
# unread while its window waits minimised), a second group and a colleague with a long name
# and no group. Taken at 96 DPI on the default (light) theme with the tooltip
# of the long name shown, the same on a dark theme (Fusion with qt6ct's "darker" colours),
# with the contact menu open, and at 120 DPI scaled (device pixel ratio 1.25) and with
# larger fonts instead. Needs root (network namespaces).
# Usage: scripts/screenshot-main-window.sh [OUTPUT.png]   (default build/main-window.png;
#        the others go beside it as OUTPUT-dark.png, OUTPUT-menu.png,
#        OUTPUT-120dpi-scaled.png and OUTPUT-120dpi-fonts.png, and the top right corner of
#        the first, the window with its tooltip, as OUTPUT-corner.png: the README's
#        docs/main-window.png)
set -eu
cd "$(dirname "$0")/.."
output=$(realpath -m "${1:-build/main-window.png}")
. scripts/desktop-scene.sh qt6ct

new_bridge lan
for host in desk:10.60.0.1 ann:10.60.0.2 bob:10.60.0.3 max:10.60.0.4 cid:10.60.0.5 \
    dee:10.60.0.6; do
    new_namespace "${host%%:*}"
    plug "${host%%:*}" lan "${host#*:}/24"
done
start_peer ann ANN --first Ann --last Lee --group Sales
start_peer bob BOB --first Bob --last Brown --group Sales
start_peer max MAX --first Maximiliane --last Featherstonehaugh-Worthington --group ""
start_peer cid CID --first Cid --last Moreau --group Support
start_peer dee DEE --first Dee --last Ngata --group Support
for peer in ANN BOB MAX CID DEE; do
    wait_for "$peer" "^state${TAB}connected"
done
send_command BOB away

# A dark theme as a desktop sets one: Qt's qt6ct platform theme with a dark colour scheme,
# and Qt's own font, so that the rows lie where they lie on the light one.
mkdir -p "$WORK_DIR/dark/qt6ct"
printf '[Appearance]\ncustom_palette=true\ncolor_scheme_path=%s\nstyle=Fusion\n[Fonts]\n%s\n' \
    /usr/share/qt6ct/colors/darker.conf 'general="Sans Serif,9,-1,5,400,0,0,0,0,0,0,0,0,0,0,1"' \
    >"$WORK_DIR/dark/qt6ct/qt6ct.conf"

# pointer ROW [BUTTON]: moves the pointer onto the ROW-th row of the contact tree (from 0)
# of the main window, and clicks BUTTON there when one is given.
pointer() {
    eval "$(DISPLAY=$display xdotool search --onlyvisible --name '^Tollix$' getwindowgeometry \
        --shell)"
    # Below the toolbar and the filter field, rows of about 20 pixels at 96 DPI.
    DISPLAY=$display xdotool mousemove "$((X + 70))" "$((Y + 66 + 20 * $1))"
    [ -z "${2:-}" ] || DISPLAY=$display xdotool click "$2"
}

# shoot RUN OUTPUT ACTION ENV...: starts the desktop program with fresh settings and ENV,
# waits until the peers list it for the RUN-th time, lets Ann write to it, does ACTION
# (tooltip, menu or nothing), takes the picture and ends the program.
shoot() {
    run=$1
    picture=$2
    action=$3
    shift 3
    config="$WORK_DIR/desk$run"
    mkdir -p "$config/Quardell"
    printf '[settings]\nuser%%20first%%20name=Dana\nuser%%20last%%20name=Desk\n' \
        >"$config/Quardell/Tollix.conf"
    env DISPLAY="$display" XDG_RUNTIME_DIR="$WORK_DIR" "$@" ip netns exec "$NS_PREFIX-desk" \
        "$desktop" --config "$config" >>"$WORK_DIR/desk.log" 2>&1 &
    desk=$!
    for peer in ANN BOB MAX CID DEE; do
        wait_for_count "$peer" "^contact${TAB}10\.60\.0\.1${TAB}online" "$run"
    done
    send_command ANN "send 10.60.0.1 Have you got a minute?"
    sleep 2
    case $action in
        tooltip) pointer 6 ;;
        menu) pointer 1 1 && pointer 1 3 ;;
        *) DISPLAY=$display xdotool mousemove 10 10 ;;
    esac
    sleep 2
    import -display "$display" -window root "$picture"
    kill -TERM "$desk"
    wait "$desk" || fail "the desktop program exited with status $?"
    echo "screenshot: $picture"
}

shoot 1 "$output" tooltip QT_FONT_DPI=96
convert "$output" -gravity NorthEast -crop 430x340+0+100 +repage "${output%.png}-corner.png"
echo "screenshot: ${output%.png}-corner.png"
shoot 2 "${output%.png}-dark.png" tooltip QT_FONT_DPI=96 QT_QPA_PLATFORMTHEME=qt6ct \
    XDG_CONFIG_HOME="$WORK_DIR/dark"
shoot 3 "${output%.png}-menu.png" menu QT_FONT_DPI=96
shoot 4 "${output%.png}-120dpi-scaled.png" none QT_FONT_DPI=120
shoot 5 "${output%.png}-120dpi-fonts.png" none QT_FONT_DPI=120 QT_ENABLE_HIGHDPI_SCALING=0
