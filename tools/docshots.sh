#!/bin/sh
# Takes the README's screenshots of a gallery card and of a blurred NSFW card from the demo feed:
# the program runs on a tall virtual screen in a throw-away profile, the mouse rests on the gallery
# (so its buttons show), and the two cards are cut out of the screen. For the documentation only:
# needs xvfb-run, xdotool and ImageMagick (Debian packages xvfb, xdotool, imagemagick).
#   tools/docshots.sh [FOLDER]     writes FOLDER/gallery-card.png and FOLDER/blurred-card.png (docs/)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${JESTCRATE_BUILD_DIR:-$root/build}
out=$(cd "${1:-$root/docs}" && pwd)
if [ "${JESTCRATE_DOCSHOTS_INNER:-}" != 1 ]; then
    exec env JESTCRATE_DOCSHOTS_INNER=1 xvfb-run -a -s "-screen 0 800x1800x24" sh "$0" "$out"
fi

profile=$(mktemp -d "${TMPDIR:-/tmp}/jestcrate-docshots.XXXXXX")
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$profile"
}
trap cleanup EXIT
: >"$profile/address"
"$build/tools/jestcrate-demo" serve >>"$profile/address" &
pids="$!"
until [ -s "$profile/address" ]; do sleep 0.1; done
mkdir -p "$profile/config/jestcrate.app" "$profile/runtime"
chmod 700 "$profile/runtime"
printf '[trending]\norigin=%s\n' "$(head -n 1 "$profile/address")" >"$profile/config/jestcrate.app/Jest Crate.conf"
XDG_DATA_HOME="$profile/data" XDG_CONFIG_HOME="$profile/config" XDG_CACHE_HOME="$profile/cache" \
    XDG_RUNTIME_DIR="$profile/runtime" "$build/jestcrate" >/dev/null 2>&1 &
pids="$pids $!"

# The window as tall as the screen shows the first three cards whole: trophy, gallery, NSFW.
window=""
tries=0
while [ -z "$window" ] && [ "$tries" -lt 100 ]; do
    sleep 0.2
    for candidate in $(xdotool search --onlyvisible --class ""); do
        [ "$(xdotool getwindowname "$candidate")" = "Jest Crate" ] && window=$candidate
    done
    tries=$((tries + 1))
done
[ -n "$window" ] || { echo "docshots.sh: the program's window did not show" >&2; exit 1; }
xdotool windowsize "$window" 800 1800
sleep 3
xdotool mousemove 400 860
sleep 1
import -window root "$profile/screen.png"
convert "$profile/screen.png" -crop 800x560+0+598 +repage "$out/gallery-card.png"
convert "$profile/screen.png" -crop 800x560+0+1160 +repage "$out/blurred-card.png"
echo "Screenshots: $out/gallery-card.png $out/blurred-card.png"
