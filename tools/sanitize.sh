#!/bin/sh
# Builds the whole project with AddressSanitizer and UndefinedBehaviorSanitizer into ./build-asan
# and runs the whole test suite there, headless under Xvfb. Any finding fails its test: the
# sanitizers stop the program at the first report. Prints how long the run took.
#
#   sh tools/sanitize.sh [ctest options...]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-asan"
started=$(date +%s)

sh "$root/tools/deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DJESTCRATE_SANITIZE=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)"
built=$(date +%s)

# Leaks that are no fault of ours. The copypasta rows are created without a parent and never
# deleted, by design: they live as long as the process. Qt 5.15 itself never deletes a Quick
# Controls menu's positioner, nor the screen of its offscreen platform. The rest are one-time
# allocations of the libraries under Qt (D-Bus, fonts, X, OpenGL under Xvfb) that are never given
# back either.
suppressions="$build/lsan.supp"
cat >"$suppressions" <<'SUPPRESSIONS'
leak:CopyPasta::loadInto
leak:CopyPasta::add
leak:QQuickMenuPrivate::getPositioner
leak:libqoffscreen.so
leak:libdbus-1.so
leak:libfontconfig.so
leak:libxcb.so
leak:libGLX_mesa.so
leak:swrast_dri.so
SUPPRESSIONS

# Mesa's OpenGL driver is unloaded before the leak check runs, which leaves its allocations without
# a name to suppress them by; loaded from the start, it stays until the end. (Only for the tests:
# the X server itself is not given it.)
preload=""
multiarch=$(gcc -print-multiarch 2>/dev/null || echo x86_64-linux-gnu)
for library in "/lib/$multiarch/libGLX_mesa.so.0" "/usr/lib/$multiarch/dri/swrast_dri.so"; do
    [ -e "$library" ] && preload="$preload $library"
done

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:verify_asan_link_order=0"
export LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0"
# QtTest's key and mouse helpers cast qApp to QApplication whenever Qt Widgets is linked (Qt Quick
# Test links it), even where the application is only a QGuiApplication; the cast is never used as
# one. Remove this once the QML test runner no longer mixes the two.
ubsan_suppressions="$build/ubsan.supp"
cat >"$ubsan_suppressions" <<'SUPPRESSIONS'
vptr_check:QGuiApplication
SUPPRESSIONS
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$ubsan_suppressions"

cd "$build"
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" env LD_PRELOAD="${preload# }" ctest --output-on-failure --parallel 2 "$@" || status=$?
finished=$(date +%s)
echo "Sanitizer build: $((built - started)) s; test suite: $((finished - built)) s; total: $((finished - started)) s"
exit "$status"
