#!/bin/sh
# Pictures of a conversation window under a virtual X server: a received and a sent
# message of two lines each, one with a link, and the send hint in the status bar; once
# on the default theme and once on a dark one (Fusion with a dark palette).
# Usage: scripts/screenshot-conversation.sh [OUTPUT.png]   (default build/conversation.png;
#        the dark one goes beside it as OUTPUT-dark.png)
set -eu
cd "$(dirname "$0")/.."
output=$(realpath -m "${1:-build/conversation.png}")
dark="${output%.png}-dark.png"
scripts/install-deps.sh build test
make build >/dev/null
for theme in default dark; do
    picture=$output
    [ "$theme" = dark ] && picture=$dark
    xvfb-run -a -s "-screen 0 800x600x24" env QT_QPA_PLATFORM=xcb TOLLIX_SCREENSHOT="$picture" \
        TOLLIX_SCREENSHOT_THEME=$theme build/tests/test_conversation screenshot >/dev/null
    echo "screenshot: $picture"
done
