#!/bin/sh
# Runs a command on an X display of its own (a fresh Xvfb, which picks a free display number
# itself), so that tests running side by side cannot take each other's keyboard focus or cover
# each other's windows. JESTCRATE_SCREEN sets the screen (default 1280x1024x24).
set -u
fifo_dir=$(mktemp -d "${TMPDIR:-/tmp}/jestcrate-display.XXXXXX") || exit 1
mkfifo "$fifo_dir/display"
Xvfb -displayfd 3 -screen 0 "${JESTCRATE_SCREEN:-1280x1024x24}" -nolisten tcp 3>"$fifo_dir/display" 2>"$fifo_dir/log" &
server=$!
read -r number <"$fifo_dir/display"
if [ -z "$number" ]; then
    echo "withdisplay.sh: Xvfb did not start:" >&2
    cat "$fifo_dir/log" >&2
    rm -rf "$fifo_dir"
    exit 1
fi
DISPLAY=":$number" "$@"
status=$?
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
rm -rf "$fifo_dir"
exit $status
