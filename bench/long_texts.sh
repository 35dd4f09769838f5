# Sourced (by bash) by the flood scripts: the long-text flood against a copy that keeps a
# history, 200 texts a second as long as a datagram carries from 2,000 forged senders for
# 60 s, while a contact the copy wrote to before sends one text.
LONG_TEXT_LOAD="200 60 2000"  # tollix-load long-texts RATE SECONDS SENDERS
LONG_TEXT_TITLE="long texts: 200 a second of about 31,700 characters from 2,000 forged senders for 60 s"
CONTACT_TEXT="sent by a contact during the flood"

# history_bytes CONFIG: the size of the history's files under --config CONFIG, WAL included.
history_bytes() { cat "$1"/Quardell/Tollix/history.sqlite* 2>/dev/null | wc -c; }

# long_text_figures BYTES_BEFORE BYTES_AFTER HISTORY_ANSWER: the figures and their targets;
# the prober's results are in $answered, $median and $maximum. HISTORY_ANSWER holds the
# copy's answer to `history CONTACT`.
long_text_figures() {
    awk -v a="$1" -v b="$2" 'BEGIN {
        printf "history folder (files and WAL): %.1f MB before, %.1f MB after: %+.1f MB (target at most 50 MB)\n",
               a / 1e6, b / 1e6, (b - a) / 1e6 }'
    echo "announcements answered: $answered, median $median ms (target under 10 ms), maximum $maximum ms"
    if grep -q "^history${TAB}.*${TAB}$CONTACT_TEXT$" "$3"; then
        echo "the contact's text sent during the flood: stored"
    else
        echo "the contact's text sent during the flood: NOT stored"
    fi
}
