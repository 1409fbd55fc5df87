#!/usr/bin/env python3
"""Plants the faults of tests/mutations.txt one at a time and tells which ones no test notices.

For each fault: the file is changed, the test programs are rebuilt incrementally in one build
folder (only the targets they need) and run, fastest and most likely first, until one fails; the
file is then restored. A fault that no test program notices survives. The file is restored on
every way out (an error, Ctrl-C, a signal); a file left changed by a run that was killed outright
is restored at the start of the next run.

    scripts/mutate.sh [--build DIR] [--list FILE] [--jobs N] [--check] [NAME...]

NAME picks faults by name (all by default); --check only checks that every fault's text stands
once in its file. Exit code: 0 when every fault was caught, 1 when
some survived, 2 when the list or the build is broken.
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FIELDS = ("name", "file", "find", "replace", "why", "tests")
# Test programs that link only the format layer: they cannot notice a fault elsewhere.
FORMAT_TEST = re.compile(r"^mif_format_test\((\w+)", re.M)
ANY_TEST = re.compile(r"^mif_(?:format_)?test\((\w+)", re.M)
# Programs that only Windows builds, or that need a second platform.
SKIPPED_TESTS = {"test_win32"}
# Seconds a test program may take before the fault counts as caught (a hang).
TIMEOUT = 300


class Stop(Exception):
    """A signal asked the run to end."""


def read_faults(path):
    faults = []
    current = None
    last = None
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if line.startswith("#"):
                continue
            if not line.strip():
                current = None
                continue
            if line.startswith("|") and current is not None and last in current:
                # A continuation: the field goes on after a line break.
                current[last] += "\n" + line[2:]
                continue
            key, sep, value = line.partition(":")
            if not sep or key not in FIELDS:
                raise SystemExit(f"{path}:{number}: expected one of {', '.join(FIELDS)}")
            if current is None:
                current = {"line": number}
                faults.append(current)
            # A single space after the colon separates.
            current[key] = value[1:] if value.startswith(" ") else value
            last = key
    for fault in faults:
        for key in ("name", "file", "find", "why"):
            if key not in fault:
                raise SystemExit(f"{path}:{fault['line']}: the fault has no {key}")
        fault.setdefault("replace", "")
        fault["tests"] = fault.get("tests", "").split()
    names = [f["name"] for f in faults]
    for name in names:
        if names.count(name) > 1:
            raise SystemExit(f"{path}: the name {name} stands twice")
    return faults


def test_programs():
    with open(os.path.join(ROOT, "tests", "CMakeLists.txt"), encoding="utf-8") as f:
        text = f.read()
    everything = [t for t in ANY_TEST.findall(text) if t not in SKIPPED_TESTS]
    return everything, set(FORMAT_TEST.findall(text))


def run(command, **kwargs):
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **kwargs)


class Restorer:
    """Keeps the original bytes of the changed file on disk until they are back in place."""

    def __init__(self, build):
        self.saved = os.path.join(build, "mutate-original")
        self.path_file = os.path.join(build, "mutate-original.path")
        self.path = None
        self.original = None

    def leftover(self):
        if os.path.exists(self.path_file) and os.path.exists(self.saved):
            with open(self.path_file, encoding="utf-8") as f:
                path = f.read()
            shutil.copyfile(self.saved, path)
            print(f"restored {os.path.relpath(path, ROOT)}, left changed by an interrupted run")
        self.forget()

    def change(self, path, text):
        with open(path, "rb") as f:
            self.original = f.read()
        with open(self.saved, "wb") as f:
            f.write(self.original)
        with open(self.path_file, "w", encoding="utf-8") as f:
            f.write(path)
        self.path = path
        with open(path, "wb") as f:
            f.write(text.encode("utf-8"))

    def restore(self):
        if self.path is not None:
            with open(self.path, "wb") as f:
                f.write(self.original)
            self.path = None
        self.forget()

    def forget(self):
        for p in (self.saved, self.path_file):
            if os.path.exists(p):
                os.remove(p)


def build(args, programs):
    built = run(["cmake", "--build", args.build, "-j", str(args.jobs), "--target"] + programs)
    if built.returncode != 0:
        raise RuntimeError(f"does not build:\n{built.stdout.decode(errors='replace')[-3000:]}")


def try_fault(fault, args, order, format_tests, env):
    """None when no test program failed; else (program, seconds). Raises on a build failure."""
    in_format_layer = fault["file"].startswith(("mif/", "textfile/"))
    programs = [t for t in order if in_format_layer or t not in format_tests]
    # The programs named for the fault (else the fastest three) first, built in one go; the rest
    # only when they pass, again in one go.
    first = [t for t in fault["tests"] if t in programs] or programs[:3]
    rest = [t for t in programs if t not in first]
    for stage in (first, rest):
        if not stage:
            continue
        build(args, stage)
        for program in stage:
            start = time.monotonic()
            try:
                result = run([os.path.join(args.build, "bin", program), "--gtest_fail_fast"],
                             env=env, timeout=TIMEOUT, cwd=args.build)
                failed = result.returncode != 0
            except subprocess.TimeoutExpired:
                failed = True
            if failed:
                return program, time.monotonic() - start
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build-mutate"))
    parser.add_argument("--list", default=os.path.join(ROOT, "tests", "mutations.txt"))
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--check", action="store_true")
    parser.add_argument("names", nargs="*")
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)

    faults = read_faults(args.list)
    if args.names:
        unknown = set(args.names) - {f["name"] for f in faults}
        if unknown:
            raise SystemExit(f"no such fault: {', '.join(sorted(unknown))}")
        faults = [f for f in faults if f["name"] in args.names]
    for fault in faults:
        with open(os.path.join(ROOT, fault["file"]), encoding="utf-8") as f:
            count = f.read().count(fault["find"])
        if count != 1:
            raise SystemExit(f"{args.list}:{fault['line']}: {fault['name']}: the text to change "
                             f"stands {count} times in {fault['file']}, not once")
    if args.check:
        print(f"{len(faults)} faults, each text found once")
        return 0

    os.makedirs(args.build, exist_ok=True)
    restorer = Restorer(args.build)
    restorer.leftover()
    env = dict(os.environ)
    samples = os.path.join(ROOT, "..", "shared", "samples")
    if not env.get("MIF_SAMPLES_DIR") and os.path.isdir(samples):
        env["MIF_SAMPLES_DIR"] = os.path.abspath(samples)

    # Warnings are not errors here: a dropped line may leave a variable unused.
    configured = run(["cmake", "-S", ROOT, "-B", args.build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                      "-DMIF_WERROR=OFF"])
    if configured.returncode != 0:
        print(configured.stdout.decode(errors="replace"))
        return 2
    everything, format_tests = test_programs()
    print(f"building the test programs in {args.build} ...", flush=True)
    built = run(["cmake", "--build", args.build, "-j", str(args.jobs), "--target"] + everything)
    if built.returncode != 0:
        print(built.stdout.decode(errors="replace")[-5000:])
        return 2
    # Fastest programs first, each timed once on the unchanged code, which must pass.
    seconds = {}
    for program in everything:
        start = time.monotonic()
        result = run([os.path.join(args.build, "bin", program)], env=env, cwd=args.build)
        seconds[program] = time.monotonic() - start
        if result.returncode != 0:
            print(f"{program} fails without any fault planted:")
            print(result.stdout.decode(errors="replace")[-3000:])
            return 2
    order = sorted(everything, key=lambda p: seconds[p])

    def stop(signum, _frame):
        raise Stop(signal.Signals(signum).name)

    for signum in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, stop)

    survivors = []
    broken = []
    started = time.monotonic()
    try:
        for k, fault in enumerate(faults, 1):
            path = os.path.join(ROOT, fault["file"])
            with open(path, encoding="utf-8") as f:
                text = f.read()
            restorer.change(path, text.replace(fault["find"], fault["replace"], 1))
            print(f"[{k}/{len(faults)}] {fault['name']}: ", end="", flush=True)
            try:
                caught = try_fault(fault, args, order, format_tests, env)
            except RuntimeError as error:
                broken.append(fault)
                print(f"BROKEN: {error}")
                continue
            finally:
                restorer.restore()
            if caught is None:
                survivors.append(fault)
                print("SURVIVED")
            else:
                print(f"caught by {caught[0]} ({caught[1]:.1f} s)")
    except Stop as signal_name:
        print(f"\nstopped by {signal_name}; the changed file is restored")
        return 130
    finally:
        restorer.restore()

    tried = len(faults) - len(broken)
    caught_count = tried - len(survivors)
    print(f"\n{len(survivors)} of {tried} faults survived:" if survivors else "\nno fault survived")
    for fault in survivors:
        print(f"  {fault['name']} ({fault['file']}): {fault['why']}")
    for fault in broken:
        print(f"  {fault['name']}: does not build; mend the list")
    score = 100.0 * caught_count / tried if tried else 0.0
    print(f"score: {caught_count} of {tried} caught ({score:.0f}%) in "
          f"{time.monotonic() - started:.0f} s")
    if broken:
        return 2
    return 1 if survivors else 0


if __name__ == "__main__":
    sys.exit(main())
