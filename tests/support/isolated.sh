#!/bin/sh
# Runs one test in a temporary home of its own: data, config and cache folders that nothing else
# uses, removed afterwards, so tests never touch a real user's files and may run in any order.
set -u
home=$(mktemp -d "${TMPDIR:-/tmp}/jestcrate-test.XXXXXX") || exit 1
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/data" "$home/config" "$home/cache" "$home/runtime"
chmod 700 "$home/runtime"
HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" \
    XDG_RUNTIME_DIR="$home/runtime" "$@"
