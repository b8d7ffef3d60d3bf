#!/usr/bin/env python3
"""Mutation testing: puts one fault at a time into a scratch copy of the tree and sees whether the
suite notices.

Each line of tests/mutants.txt names a file, an exact text in it (found once), its replacement and
the fault it models, separated by tabs. The scratch copy and its build live outside the working
tree (default /tmp/jestcrate-mutants) and are kept between runs, so only what a mutant touches is
rebuilt. The tests that exercise the mutated file run first, stopping at the first failure; only a
mutant that survives them meets the rest of the suite.

Usage: tools/mutants.py [--only 3,7-9] [--work DIR] [--list FILE]
Prints one row per mutant and the score; the rows are also written to WORK/results.tsv.
"""
import argparse
import filecmp
import os
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Which tests exercise which files: tried first, before the whole suite.
TESTS_FOR = [
    (r"src/(bunker|removedmemes|memerecord)\.", r"tst_bunker|tst_crashsafety|tst_fulldisk|qml_tst_bunkerpage"),
    (r"src/(copypasta|objectlistmodel)\.", r"tst_copypasta|tst_fulldisk|tst_crashsafety|qml_tst_copypastapage"),
    (r"src/reddit\.", r"tst_reddit|qml_tst_trending"),
    (r"src/(networkcache|diskcache)\.", r"tst_reddit|qml_tst_trending|qml_tst_settingspage"),
    (r"src/atomlisting\.", r"tst_atomlisting|tst_reddit"),
    (r"src/networkpolicy\.", r"tst_reddit|tst_bunker"),
    (r"src/picture", r"tst_picturenetworkaccessmanager|tst_bunker|qml_tst_meme"),
    (r"src/(sharemanager|desktopshare)\.", r"tst_desktopshare|qml_tst_bunkerpage|qml_tst_keys"),
    (r"src/(startup|quitonsignal|main|commandline)\.", r"tst_startup|tst_smoke|tst_crashsafety"),
    (r"qml/main\.qml", r"qml_tst_mainwindow|qml_tst_keys"),
    (r"qml/Trending\.qml", r"qml_tst_trending|qml_tst_keys"),
    (r"qml/Meme\.qml", r"qml_tst_meme|qml_tst_trending|qml_tst_bunkerpage"),
    (r"qml/(Bunker|CardKeys)\.qml", r"qml_tst_bunkerpage|qml_tst_keys"),
    (r"qml/Copypasta", r"qml_tst_copypastapage|qml_tst_keys"),
    (r"qml/Settings\.qml", r"qml_tst_settingspage"),
    (r"qml/About\.qml", r"qml_tst_mainwindow"),
]
# A mutant that hangs a test is as good as caught; this bounds each ctest run.
RUN_TIMEOUT = 240


def read_mutants(path):
    mutants = []
    with open(path, encoding="utf-8") as listing:
        for number, line in enumerate(listing, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) != 4:
                sys.exit(f"{path}:{number}: want 4 tab-separated fields, found {len(fields)}")
            # A mark rather than "\\n", which the code itself holds inside string literals.
            find, replace = (field.replace("\u23ce", "\n") for field in fields[1:3])
            mutants.append({"line": number, "file": fields[0], "find": find, "replace": replace, "fault": fields[3]})
    return mutants


def run(command, cwd, timeout=None, env=None):
    try:
        done = subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                              timeout=timeout, env=env)
        return done.returncode, done.stdout
    except subprocess.TimeoutExpired:
        return None, "timed out"


def sync_tree(source):
    """Copies the tracked files (as they are in the working tree) into the scratch source."""
    listed = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, stdout=subprocess.PIPE, check=True).stdout
    names = {name for name in listed.decode().split("\0") if os.path.isfile(os.path.join(ROOT, name))}
    # Files gone from the tree go from the copy too (the tests are globbed).
    for folder, _, files in os.walk(source):
        for file in files:
            if os.path.relpath(os.path.join(folder, file), source) not in names:
                os.remove(os.path.join(folder, file))
    for name in names:
        origin, copy = os.path.join(ROOT, name), os.path.join(source, name)
        # Unchanged files are left alone, so they are not rebuilt.
        if os.path.exists(copy) and filecmp.cmp(origin, copy, shallow=False):
            continue
        os.makedirs(os.path.dirname(copy), exist_ok=True)
        # A fresh time stamp: an interrupted run may have left a newer object file of a mutant.
        shutil.copyfile(origin, copy)
        shutil.copymode(origin, copy)


def configure(source, build):
    env = dict(os.environ, CCACHE_BASEDIR=os.path.dirname(source))
    command = ["cmake", "-S", source, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo"]
    if shutil.which("ccache"):
        command.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
    code, output = run(command, ROOT, env=env)
    if code != 0:
        sys.exit("configure failed:\n" + output)


def list_tests(build):
    _, output = run(["ctest", "-N"], build)
    return re.findall(r"Test\s+#\d+: (\S+)", output)


def target_of(test):
    return "qmltests" if test.startswith("qml_") else test


def build_targets(build, tests):
    targets = sorted({target_of(test) for test in tests})
    code, output = run(["ninja", "-C", build] + targets, ROOT)
    return code == 0, output


def run_tests(build, tests):
    """The tests that failed: none when the mutant survived them. The quick C++ tests go before the
    Qt Quick ones, so that most mutants are caught within seconds."""
    for phase in ([t for t in tests if not t.startswith("qml_")], [t for t in tests if t.startswith("qml_")]):
        if not phase:
            continue
        pattern = "^(" + "|".join(re.escape(test) for test in phase) + ")$"
        command = ["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24", "ctest", "--stop-on-failure", "--parallel",
                   "2", "-R", pattern]
        code, output = run(command, build, timeout=RUN_TIMEOUT)
        if code is None:
            return ["(timed out)"]
        failed = re.findall(r"Test\s+#\d+: (\S+) \.*\s*\*+(?:Failed|Timeout|Exception)", output)
        if failed or code != 0:
            return failed or ["(ctest %d)" % code]
    return []


def tests_for(path, all_tests):
    for file_pattern, test_pattern in TESTS_FOR:
        if re.match(file_pattern, path):
            return [test for test in all_tests if re.fullmatch(r"(%s)" % test_pattern, test)]
    return []


def try_mutant(mutant, source, build, all_tests):
    path = os.path.join(source, mutant["file"])
    with open(path, encoding="utf-8") as original_file:
        original = original_file.read()
    if original.count(mutant["find"]) != 1:
        return "invalid", f"text found {original.count(mutant['find'])} times"
    try:
        with open(path, "w", encoding="utf-8") as mutated:
            mutated.write(original.replace(mutant["find"], mutant["replace"]))
        first = tests_for(mutant["file"], all_tests)
        built, output = build_targets(build, first or all_tests)
        if not built:
            return "invalid", "does not build: " + (re.findall(r"error: .*", output) or ["?"])[0][:80]
        failed = run_tests(build, first)
        if not failed:
            rest = [test for test in all_tests if test not in first]
            built, _ = build_targets(build, rest)
            failed = run_tests(build, rest) if built else ["(the rest does not build)"]
        return ("killed", " ".join(failed)) if failed else ("survived", "")
    finally:
        with open(path, "w", encoding="utf-8") as restored:
            restored.write(original)


def chosen(wanted, count):
    if not wanted:
        return list(range(1, count + 1))
    numbers = []
    for part in wanted.split(","):
        low, _, high = part.partition("-")
        numbers.extend(range(int(low), int(high or low) + 1))
    return [n for n in numbers if 1 <= n <= count]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--list", default=os.path.join(ROOT, "tests", "mutants.txt"))
    parser.add_argument("--work", default=os.path.join(os.environ.get("TMPDIR", "/tmp"), "jestcrate-mutants"))
    parser.add_argument("--only", help="mutant numbers, e.g. 3,7-9")
    arguments = parser.parse_args()

    mutants = read_mutants(arguments.list)
    source, build = os.path.join(arguments.work, "src"), os.path.join(arguments.work, "build")
    started = time.monotonic()
    sync_tree(source)
    configure(source, build)
    all_tests = list_tests(build)
    built, output = build_targets(build, all_tests)
    if not built:
        sys.exit("the unmutated tree must build first:\n" + output[-2000:])
    failed = run_tests(build, all_tests)
    if failed:
        sys.exit("the unmutated tree must pass first; failed: " + " ".join(failed))

    rows = []
    for number in chosen(arguments.only, len(mutants)):
        mutant = mutants[number - 1]
        began = time.monotonic()
        verdict, detail = try_mutant(mutant, source, build, all_tests)
        rows.append((number, verdict, mutant, detail))
        print(f"M{number:03d}  {verdict:8s} {time.monotonic() - began:5.0f}s  {mutant['file']}: {mutant['fault']}"
              + (f"  ({detail})" if detail else ""), flush=True)

    # Leaves the scratch build matching the tree again for the next run.
    build_targets(build, all_tests)
    killed = sum(1 for row in rows if row[1] == "killed")
    counted = sum(1 for row in rows if row[1] in ("killed", "survived"))
    with open(os.path.join(arguments.work, "results.tsv"), "w", encoding="utf-8") as results:
        for number, verdict, mutant, detail in rows:
            results.write(f"M{number:03d}\t{verdict}\t{mutant['file']}\t{mutant['fault']}\t{detail}\n")
    minutes = (time.monotonic() - started) / 60
    print(f"\nmutation score: {killed}/{counted} killed ({100 * killed / max(counted, 1):.0f}%), "
          f"{len(rows) - counted} invalid, {minutes:.1f} min")
    return 0 if len(rows) == counted else 1


if __name__ == "__main__":
    sys.exit(main())
