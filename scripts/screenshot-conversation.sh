#!/bin/sh
# Picture of a conversation window under a virtual X server: a received and a sent
# message of two lines each, one with a link, and the send hint in the status bar.
# Usage: scripts/screenshot-conversation.sh [OUTPUT.png]   (default build/conversation.png)
set -eu
cd "$(dirname "$0")/.."
output=$(realpath -m "${1:-build/conversation.png}")
scripts/install-deps.sh build test
make build >/dev/null
xvfb-run -a -s "-screen 0 800x600x24" env QT_QPA_PLATFORM=xcb TOLLIX_SCREENSHOT="$output" \
    build/tests/test_conversation screenshot >/dev/null
echo "screenshot: $output"
