#!/usr/bin/env python3
"""Checks that the tests catch plausible slips in the lines a change made.

    scripts/mutants.py [--max N] [--seed S] [--preset auto|native|windows] RANGE

For each C++ or JavaScript line that RANGE (a git range, such as
main..HEAD or HEAD~3) added or changed, it makes the slips a hand makes:
a comparison or boundary turned (== !=, < <=), && for ||, a constant off by
one, true for false, a negation dropped, a call that syncs, flushes or
closes left out, two arguments swapped. Each slip, one at a time, is built
(incrementally, with the preset's build folder) and the tests that cover
its file are run first, stopping at the first that fails; a slip that they
let pass is run against the whole suite. The file is put back after each
slip, and on any exit.

The preset "auto" (the default) builds a slip in a Windows file
(*_win32.cpp, *_win32.h) with the windows preset and runs its tests under
Wine (scripts/wine-session.sh), every other slip with the native preset;
"native" or "windows" takes that preset for every slip. The windows build
folder must be configured first (cmake --preset windows). Run inside one
Wine session (scripts/wine-session.sh run scripts/mutants.py ...), the
Windows tests of all the slips share it; otherwise each run of the tests
starts its own.

Prints each slip that no test caught with its place, and the share
caught. Not part of `make test`: it takes minutes.
"""
import argparse
import random
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# Which tests cover a file, by the start of its path: ctest regular
# expressions (the browser test covers the page).
COVERING = [
    ("safewrite/", "SafeWrite|safe_write|FileContent|driver_session|installed"),
    ("driver/view/page/", "viewer\\.Browser"),
    ("driver/view/", "View|viewer\\.Browser"),
    ("driver/scene/gltf/", "Gltf|gltf|GlbSource|demo\\.Room"),
    ("driver/scene/", "SceneFile|SceneHistory|SceneSvg|Gltf|driver_session|DriverRun"),
    ("driver/files/", "FileContent|DriverRun|driver_session|SafeWrite|GlbSource|Damaged"),
    ("driver/session/", "driver_session|SessionLanguage|DriverRun|Gltf"),
    ("driver/cli/", "CommandLine|driver_session|driver\\.|demo\\."),
    ("driver/hosting/", "PluginLibrary|FileDialog|driver_session|Damaged"),
    ("driver/", "driver_session|DriverRun|CommandLine|RefusalTable"),
    ("names/", "Names|names|Velkora|driver_session"),
    ("pivot/", "Pivot|Align|Rotation|PickHelper|Tarvel|driver_session"),
    ("shell/", "PluginLibrary|Panel|Tarvel|Velkora"),
    ("host/", "Standin|Win32|Panel|FileDialog"),
]

# (pattern, replacement, what): each applied to one occurrence at a time.
OPERATORS = [
    (r"==", "!=", "== for !="),
    (r"!=", "==", "!= for =="),
    # Spaced, so as not to take template brackets and shifts for comparisons.
    (r" <= ", " < ", "<= for <"),
    (r" >= ", " > ", ">= for >"),
    (r" < ", " <= ", "< for <="),
    (r" > ", " >= ", "> for >="),
    (r"&&", "||", "&& for ||"),
    (r"\|\|", "&&", "|| for &&"),
    (r"\btrue\b", "false", "true for false"),
    (r"\bfalse\b", "true", "false for true"),
    (r"(?<![\w.])(\d+)(?![\w.])", lambda m: str(int(m.group(1)) + 1), "a constant one larger"),
    (r"\+ 1\b", "- 1", "+ 1 for - 1"),
    (r"- 1\b", "+ 1", "- 1 for + 1"),
    (r"\bif \(!", "if (", "a negation dropped"),
    (r"\(\s*(\w+),\s*(\w+)\s*\)", lambda m: "(%s, %s)" % (m.group(2), m.group(1)), "two arguments swapped"),
]
DROPPED_CALL = re.compile(r"^(\s*)(?!return\b)[\w:.\->()]*\b(\w*(?:[Ss]ync|[Ff]lush|[Cc]lose|Commit)\w*)\(.*\);\s*$")
SKIPPED_LINE = re.compile(r"^\s*(#|//|\*|/\*|import |export \{|static_assert)")


def changed_lines(commit_range):
    """(path, line number, text) of each line the range added, C++ and JavaScript only."""
    diff = subprocess.run(["git", "diff", "-U0", "--no-color", commit_range, "--", "*.cpp", "*.h", "*.js"],
                          cwd=ROOT, check=True, capture_output=True, text=True).stdout
    path, number, lines = None, 0, []
    for line in diff.splitlines():
        if line.startswith("+++ "):
            path = None if line.endswith("/dev/null") else line[6:]
        elif line.startswith("@@"):
            number = int(re.search(r"\+(\d+)", line).group(1))
        elif line.startswith("+") and path and not path.startswith(("tests/", "bench/", "fuzz/")):
            lines.append((path, number, line[1:]))
            number += 1
    return lines


def mutants_of(lines):
    for path, number, text in lines:
        if SKIPPED_LINE.match(text) or '"' in text and text.count('"') >= 2 and "==" not in text:
            continue
        dropped = DROPPED_CALL.match(text)
        if dropped:
            yield path, number, text, dropped.group(1) + "(void)0;  // mutant", "a call to %s dropped" % dropped.group(2)
        for pattern, replacement, what in OPERATORS:
            for match in re.finditer(pattern, text):
                new = match.expand(replacement) if isinstance(replacement, str) else replacement(match)
                mutated = text[:match.start()] + new + text[match.end():]
                if mutated != text:
                    yield path, number, text, mutated, what


def covering(path):
    for prefix, tests in COVERING:
        if path.startswith(prefix):
            return tests
    return None


def run(command, timeout):
    try:
        return subprocess.run(command, cwd=ROOT, capture_output=True, text=True, timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return -1  # a slip that hangs is caught by the tests' own time limits


def is_windows_file(path):
    return re.search(r"_win32\.(cpp|h)$", path) is not None


def preset_of(path, chosen):
    if chosen != "auto":
        return chosen
    return "windows" if is_windows_file(path) else "native"


def tests_pass(preset, regex, timeout):
    command = ["ctest", "--preset", preset, "-j2", "--timeout", "120"]
    if regex:
        command += ["-R", regex, "--stop-on-failure"]
    if preset == "windows":
        command = ["bash", str(ROOT / "scripts" / "wine-session.sh"), "run"] + command
    return run(command, timeout) == 0


def build(preset, path):
    """Whether the slip builds: C++ with its preset, the page's JavaScript with the native one."""
    if path.endswith(".js"):
        return run(["cmake", "--build", "--preset", preset, "--target", "viewer_page"], 600) == 0
    return run(["cmake", "--build", "--preset", preset, "-j2"], 1800) == 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("range")
    parser.add_argument("--max", type=int, default=40, help="at most this many slips (a random sample)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--preset", default="auto", choices=["auto", "native", "windows"])
    options = parser.parse_args()

    lines = changed_lines(options.range)
    dirty = subprocess.run(["git", "status", "--porcelain", "--"] + sorted({p for p, _, _ in lines}),
                           cwd=ROOT, capture_output=True, text=True).stdout
    if dirty:
        sys.exit("mutants: commit or stash the changes of these files first:\n" + dirty)
    candidates = list(mutants_of(lines))
    random.Random(options.seed).shuffle(candidates)
    candidates = candidates[:options.max]
    print("%d slips in %d changed lines" % (len(candidates), len(lines)), flush=True)

    originals = {}

    def restore(*_):
        for file, content in originals.items():
            file.write_bytes(content)
        if _:
            sys.exit(130)
    signal.signal(signal.SIGINT, restore)
    signal.signal(signal.SIGTERM, restore)

    caught, survivors, unbuildable = 0, [], 0
    used = set()
    try:
        for path, number, text, mutated, what in candidates:
            file = ROOT / path
            original = originals.setdefault(file, file.read_bytes())
            lines_of_file = original.decode().split("\n")
            if lines_of_file[number - 1] != text:
                continue
            lines_of_file[number - 1] = mutated
            file.write_bytes("\n".join(lines_of_file).encode())
            preset = preset_of(path, options.preset)
            used.add(preset)
            place = "%s:%d: %s (%s)" % (path, number, what, preset)
            started = time.monotonic()
            try:
                if not build(preset, path):
                    unbuildable += 1
                    print("  does not build: " + place, flush=True)
                    continue
                regex = covering(path)
                if (regex and not tests_pass(preset, regex, 3600)) or not tests_pass(preset, None, 7200):
                    caught += 1
                    print("  caught: %s [%.0f s]" % (place, time.monotonic() - started), flush=True)
                else:
                    survivors.append((place, text.strip(), mutated.strip()))
                    print("  SURVIVED: %s [%.0f s]" % (place, time.monotonic() - started), flush=True)
            finally:
                file.write_bytes(original)
    finally:
        restore()
        for preset in sorted(used):
            run(["cmake", "--build", "--preset", preset, "-j2"], 1800)

    viable = caught + len(survivors)
    print("\n%d of %d viable slips caught (%.0f %%); %d did not build" %
          (caught, viable, 100.0 * caught / viable if viable else 100.0, unbuildable))
    for place, before, after in survivors:
        print("survived: %s\n    - %s\n    + %s" % (place, before, after))
    return 0 if not survivors else 1


if __name__ == "__main__":
    sys.exit(main())
