#!/bin/sh
# Pictures of a conversation window under a virtual X server: a received and a sent
# message of two lines each, one with a link, and the send hint in the status bar; once
# on the default theme, once on a dark one (Fusion with a dark palette), once at 120 DPI
# (scaled by 1.25), and once with earlier messages from the history above them (the texts
# of the session stored as well, as the program stores them) and a search in the search
# field.
# Usage: scripts/screenshot-conversation.sh [OUTPUT.png]   (default build/conversation.png;
#        the others go beside it as OUTPUT-dark.png, OUTPUT-120dpi.png and
#        OUTPUT-history.png)
set -eu
cd "$(dirname "$0")/.."
output=$(realpath -m "${1:-build/conversation.png}")
scripts/install-deps.sh build test
make build >/dev/null
for kind in default dark 120dpi history; do
    picture=$output
    theme=default
    history=0
    dpi=96
    case $kind in
        dark) picture="${output%.png}-dark.png" theme=dark ;;
        120dpi) picture="${output%.png}-120dpi.png" dpi=120 ;;
        history) picture="${output%.png}-history.png" history=1 ;;
    esac
    xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb QT_FONT_DPI=$dpi \
        TOLLIX_SCREENSHOT="$picture" TOLLIX_SCREENSHOT_THEME=$theme TOLLIX_SCREENSHOT_HISTORY=$history \
        build/tests/test_conversation screenshot >/dev/null
    echo "screenshot: $picture"
done
