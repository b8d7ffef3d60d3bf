#!/bin/sh
# Runs clang-tidy's bugprone and performance checks (.clang-tidy at the root) over the project's
# own C++: src/, tests/, tools/, bench/ and fuzz/, and qmllint over its QML documents. Configures
# ./build-tidy and generates only the moc and resource files the sources include; nothing is
# compiled. Prints every finding and fails when there is one. Prints how many files it checked
# and how long the run took.
#
#   sh tools/tidy.sh
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-tidy"
jobs=2
started=$(date +%s)

# clang for the fuzz harnesses: their project configures with clang only.
sh "$root/tools/deps.sh" clang-tidy clang

# The fuzz harnesses are a project of their own (fuzz/CMakeLists.txt), so they get a compilation
# database of their own. Without origin dependencies, running moc does not first build the
# libraries a target links.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
    -DCMAKE_AUTOGEN_ORIGIN_DEPENDS=OFF >/dev/null
cmake -S "$root/fuzz" -B "$build/fuzz" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DCMAKE_AUTOGEN_ORIGIN_DEPENDS=OFF >/dev/null
for database in "$build" "$build/fuzz"; do
    targets=$(ninja -C "$database" -t targets all | sed -n 's/^\([^/:]*_autogen\): phony$/\1/p')
    [ -n "$targets" ] || continue
    # shellcheck disable=SC2086
    if ! cmake --build "$database" --parallel "$jobs" --target $targets >"$database/autogen.log" 2>&1; then
        cat "$database/autogen.log"
        exit 1
    fi
done
generated=$(date +%s)

# Anchored at the root, so that moc output under build-tidy/tests/ and system headers stay out.
root_pattern=$(printf '%s' "$root" | sed 's/[].[^$*+?(){}|\\]/\\&/g')
own_headers="^$root_pattern/(src|tests|tools|bench|fuzz)/"

# Prints the files of a compilation database that match the pattern, each once.
sources() {
    sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$1/compile_commands.json" | grep -E "$2" | sort -u
}

# Runs clang-tidy on the matching files of one compilation database. Fails when clang-tidy could
# not check a file (it cannot parse it, say): a finding alone does not make it fail.
tidy() {
    if command -v run-clang-tidy >/dev/null 2>&1; then
        run-clang-tidy -quiet -j "$jobs" -p "$1" -header-filter "$own_headers" "$2"
    else
        sources "$1" "$2" | xargs -P "$jobs" -n 1 clang-tidy -quiet -p "$1" -header-filter="$own_headers"
    fi
}

raw="$build/tidy.raw"
log="$build/tidy.log"
status=0
tidy "$build" "^$root_pattern/(src|tests|tools|bench)/" >"$raw" 2>&1 || status=$?
tidy "$build/fuzz" "^$root_pattern/fuzz/" >>"$raw" 2>&1 || status=$?
finished=$(date +%s)
# Without colours, and with the fuzz harnesses' "fuzz/../src/" written as "src/".
escape=$(printf '\033')
sed -e "s/$escape\[[0-9;]*m//g" -e 's|/[^/.][^/]*/\.\./|/|g' "$raw" >"$log"

# Everything but run-clang-tidy's command lines and clang-tidy's count of what it left out.
chatter="^(clang-tidy(-[0-9]+)? |[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$)"
grep -v -E "$chatter" "$log" || true

checked=$( (sources "$build" "^$root_pattern/(src|tests|tools|bench)/"
    sources "$build/fuzz" "^$root_pattern/fuzz/") | wc -l)
# A header's finding shows once for every file that includes it: count each place once.
findings=$(grep -E '^/.*:[0-9]+:[0-9]+: (warning|error):' "$log" | sort -u | wc -l)

# Qt 5's qmllint checks the syntax. The start-up test's broken.qml fails it on purpose.
documents=$(cd "$root" && find qml tests bench tools \( -name '*.qml' -o -name '*.js' \) |
    grep -v '^tests/probe/broken\.qml$' | sort)
linted=0
lint_failures=0
for document in $documents; do
    linted=$((linted + 1))
    qmllint "$root/$document" || lint_failures=$((lint_failures + 1))
done
linted_at=$(date +%s)

echo "clang-tidy: $checked files checked, $findings findings;" \
    "qmllint: $linted documents checked, $lint_failures failed"
echo "moc generation $((generated - started)) s, clang-tidy $((finished - generated)) s," \
    "qmllint $((linted_at - finished)) s, total $((linted_at - started)) s"
if [ "$status" -ne 0 ]; then
    echo "clang-tidy could not check every file (exit status $status); see $raw" >&2
    exit 1
fi
[ "$findings" -eq 0 ] && [ "$lint_failures" -eq 0 ]
