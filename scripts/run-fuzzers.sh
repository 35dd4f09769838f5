#!/bin/sh
# Runs every libFuzzer target in a folder for the given number of seconds each.
# A finding stops the run with a non-zero status and leaves the crashing input in
# build-fuzz/findings.
set -eu
dir=$1
seconds=$2
findings="$dir/findings"
mkdir -p "$findings"
for target in "$dir"/*-fuzzer; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus="$dir/corpus/$name"
    mkdir -p "$corpus"
    echo "fuzz: $name for ${seconds}s"
    seeds="$(dirname "$0")/../tests/fuzz/seeds"
    "$target" -max_total_time="$seconds" -max_len=33000 -print_final_stats=1 \
        -artifact_prefix="$findings/$name-" "$corpus" "$seeds"
done
