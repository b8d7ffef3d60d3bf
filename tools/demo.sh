#!/bin/sh
# Runs Jest Crate against the local demo feed (original sample memes served on 127.0.0.1) in a
# throw-away profile, so that your own settings and saved memes are never touched.
#   tools/demo.sh                     start the program (headless: save a screenshot and exit)
#   tools/demo.sh --dark              the same in dark mode
#   tools/demo.sh --screenshot FILE   always headless: save the first screen as FILE and exit
#   tools/demo.sh --atom              the JSON listings answer 403 as on the live forum, so the
#                                     feed comes through the Atom fallback
#   tools/demo.sh --program FILE      run FILE instead of the built program (the package check
#                                     runs the packaged one)
# Called by 'tools/run --demo' after building. JESTCRATE_BUILD_DIR names another build folder.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${JESTCRATE_BUILD_DIR:-$root/build}
app="$build/jestcrate"
demo="$build/tools/jestcrate-demo"

dark=false
screenshot=""
serve_options=""
while [ $# -gt 0 ]; do
    case "$1" in
    --dark) dark=true ;;
    --atom) serve_options="--atom-only" ;;
    --program)
        [ $# -ge 2 ] || { echo "demo.sh: --program needs a file name" >&2; exit 2; }
        app=$2
        shift
        ;;
    --screenshot)
        [ $# -ge 2 ] || { echo "demo.sh: --screenshot needs a file name" >&2; exit 2; }
        screenshot=$2
        shift
        ;;
    *) echo "usage: tools/demo.sh [--dark] [--atom] [--screenshot FILE] [--program FILE]" >&2; exit 2 ;;
    esac
    shift
done
for program in "$app" "$demo"; do
    [ -x "$program" ] || { echo "demo.sh: $program is missing; build first (tools/run builds)" >&2; exit 1; }
done

profile=$(mktemp -d "${TMPDIR:-/tmp}/jestcrate-demo.XXXXXX")
server_pid=""
cleanup() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$profile"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The file exists before the server starts writing to it, so reading it never races the shell.
: >"$profile/server-address"
"$demo" serve $serve_options >>"$profile/server-address" &
server_pid=$!
address=""
tries=0
while [ -z "$address" ]; do
    address=$(head -n 1 "$profile/server-address")
    if [ -z "$address" ]; then
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ] || ! kill -0 "$server_pid" 2>/dev/null; then
            echo "demo.sh: the demo feed server did not start" >&2
            exit 1
        fi
        sleep 0.1
    fi
done
echo "Demo feed: $address"

# The program's default store, ini format, under the throw-away config folder.
mkdir -p "$profile/data" "$profile/config/jestcrate.app" "$profile/cache" "$profile/runtime"
chmod 700 "$profile/runtime"
{
    echo "[trending]"
    echo "origin=$address"
    if [ "$dark" = true ]; then
        echo "[global]"
        echo "themeMode=1"
    fi
} >"$profile/config/jestcrate.app/Jest Crate.conf"
export XDG_DATA_HOME="$profile/data" XDG_CONFIG_HOME="$profile/config" XDG_CACHE_HOME="$profile/cache"
export XDG_RUNTIME_DIR="$profile/runtime"

if [ -z "$screenshot" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
    "$app"
    exit $?
fi

if [ -z "$screenshot" ]; then
    echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set): running under Xvfb and"
    echo "saving a screenshot of the first cards instead of showing the window."
    mkdir -p "$build/demo"
    screenshot="$build/demo/trending.png"
    [ "$dark" = false ] || screenshot="$build/demo/trending-dark.png"
fi
command -v xvfb-run >/dev/null || { echo "demo.sh: xvfb-run is missing (Debian package xvfb)" >&2; exit 1; }
case "$screenshot" in
/*) ;;
*) screenshot="$PWD/$screenshot" ;;
esac
# The screen is as large as the window, so the screenshot is exactly the window.
xvfb-run -a -s "-screen 0 800x600x24" "$demo" screenshot "$screenshot" "$app" >/dev/null
echo "Screenshot: $screenshot"
