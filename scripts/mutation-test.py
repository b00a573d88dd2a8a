#!/usr/bin/env python3
# mutation-test.py -- inject the single-point faults of scripts/mutants.txt one at a time into a
# scratch copy of the sources, rebuild only the unit-test programs mapped to the mutated file,
# run them (golden frames and fuzz replays excluded) and report which faults they catch.
#
#   scripts/mutation-test.py [--work DIR] [--only SUBSTRING] [--list] [--report FILE]
#
# The working tree is never touched: the tracked and untracked (not ignored) files are copied to
# DIR/src (default build-mutants/), built in DIR/build with Ninja (ccache when present), and each
# mutated file is restored before the next fault. Slow by nature: run it beside, not inside, the
# test command, e.g. `nice -n 10 scripts/mutation-test.py`.
#
# mutants.txt: a section per source file, `[path] test-program globs...`, then one fault a line,
# `original ==> replacement` (exact text, `\n` for a line break; the original must occur once).
import argparse
import signal
import fnmatch
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def parse_mutants(path):
    faults, tests_for, current = [], {}, None
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            if line.startswith("["):
                name, _, globs = line[1:].partition("]")
                current = name.strip()
                tests_for[current] = globs.split()
                continue
            if current is None or " ==> " not in line:
                sys.exit(f"mutants.txt:{number}: expected `[file] tests` or `original ==> replacement`")
            old, new = line.split(" ==> ", 1)
            faults.append((number, current, old.strip().replace("\\n", "\n"), new.strip().replace("\\n", "\n")))
    return faults, tests_for


def copy_tree(work_src, skip_tests=False):
    listed = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=ROOT, check=True,
                            capture_output=True).stdout.decode().split("\0")
    for rel in filter(None, listed):
        if skip_tests and rel.startswith("tests/"):
            continue
        src, dst = os.path.join(ROOT, rel), os.path.join(work_src, rel)
        if not os.path.isfile(src):
            continue
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        same = os.path.exists(dst) and open(src, "rb").read() == open(dst, "rb").read()
        if not same:
            shutil.copyfile(src, dst)  # a fresh time stamp, so Ninja rebuilds it


def run(cmd, cwd, timeout=None):
    try:
        p = subprocess.run(cmd, cwd=cwd, capture_output=True, timeout=timeout)
        return p.returncode, p.stdout.decode(errors="replace") + p.stderr.decode(errors="replace")
    except subprocess.TimeoutExpired:
        return "timeout", ""


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--work", default=os.path.join(ROOT, "build-mutants"))
    ap.add_argument("--mutants", default=os.path.join(ROOT, "scripts", "mutants.txt"))
    ap.add_argument("--only", default="", help="run the faults whose file contains this text")
    ap.add_argument("--list", action="store_true", help="check and list the faults, build nothing")
    ap.add_argument("--report", default="", help="also write the table to this file")
    ap.add_argument("--timeout", type=int, default=120, help="seconds per test program")
    ap.add_argument("--no-sync", action="store_true", help="test the scratch copy as it is (e.g. an older suite)")
    args = ap.parse_args()

    faults, tests_for = parse_mutants(args.mutants)
    faults = [f for f in faults if args.only in f[1]]
    src, build = os.path.join(args.work, "src"), os.path.join(args.work, "build")
    tests_source = os.path.join(src if args.no_sync else ROOT, "tests")
    test_programs = sorted(n[:-4] for n in os.listdir(tests_source) if n.startswith("test_") and n.endswith(".cpp"))

    def programs(path):
        return sorted({t for g in tests_for[path] for t in test_programs if fnmatch.fnmatch(t, g)})

    bad = False
    for number, path, old, new in faults:
        text = open(os.path.join(ROOT, path), encoding="utf-8").read()
        if text.count(old) != 1 or old == new or not programs(path):
            print(f"mutants.txt:{number}: {path}: original found {text.count(old)} times, or no test mapped")
            bad = True
    if bad:
        sys.exit(1)
    if args.list:
        for number, path, old, new in faults:
            print(f"{number:4} {path:32} {' '.join(programs(path))}")
        print(f"{len(faults)} faults")
        return

    os.makedirs(src, exist_ok=True)
    copy_tree(src, skip_tests=args.no_sync) # also undoes a fault left by an interrupted run
    env_cmake = ["cmake", "-S", src, "-B", build, "-G", "Ninja", "-DMW_BENCH=OFF",
                 # No debug information and light optimisation: every fault recompiles a file and
                 # relinks its test programs, so both must be quick.
                 "-DCMAKE_BUILD_TYPE=Release", "-DCMAKE_CXX_FLAGS_RELEASE=-O1", "-DCMAKE_C_FLAGS_RELEASE=-O1"]
    if shutil.which("ccache"):
        env_cmake += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    code, out = run(env_cmake, ROOT)
    if code != 0:
        sys.exit("configure failed:\n" + out)
    needed = sorted({p for _, path, _, _ in faults for p in programs(path)})
    print(f"mutation-test: building everything in {build}, then {len(needed)} test programs per fault", flush=True)
    code, out = run(["ninja", "-C", build], ROOT)
    if code != 0:
        sys.exit("build failed:\n" + out[-4000:])

    os.environ.update(SDL_VIDEODRIVER="dummy", SDL_AUDIODRIVER="dummy")
    tests_dir = os.path.join(build, "tests")

    # Test programs that run the demo or the converters need those rebuilt with the fault too.
    tools = sorted(n[:-4] for n in os.listdir(os.path.join(src, "tools", "bin")) if n.endswith(".cpp"))

    def programs_run_by(names):
        runners = {"test_bad_data", "test_capture", "test_content", "test_gfx2d_encoders"}
        return ["morrowick"] + tools if runners & set(names) else []

    def run_tests(names):
        failed = []
        for name in names:
            code, _ = run([os.path.join(tests_dir, name), "--gtest_brief=1"], tests_dir, args.timeout)
            if code != 0:
                failed.append(name if code != "timeout" else name + "(timeout)")
        return failed

    broken = run_tests(needed)
    if broken:
        sys.exit("the unmutated build fails: " + " ".join(broken))

    signal.signal(signal.SIGTERM, lambda *_: sys.exit("mutation-test: stopped"))  # runs the restore below
    rows, caught = [], 0
    start = time.time()
    for i, (number, path, old, new) in enumerate(faults, 1):
        target = os.path.join(src, path)
        original = open(target, encoding="utf-8").read()
        with open(target, "w", encoding="utf-8") as f:
            f.write(original.replace(old, new, 1))
        try:
            names = programs(path)
            code, out = run(["ninja", "-C", build] + names + programs_run_by(names), ROOT)
            if code != 0:
                verdict, by = "no-build", ""
            else:
                by = run_tests(names)
                verdict = "caught" if by else "MISSED"
        finally:
            with open(target, "w", encoding="utf-8") as f:
                f.write(original)
        caught += verdict == "caught"
        rows.append(f"{number:4}  {verdict:8}  {path:30}  {old.splitlines()[0].strip()[:60]}  "
                    f"=> {new.splitlines()[0].strip()[:40]}  [{' '.join(by) if by else '-'}]")
        print(rows[-1], f"({i}/{len(faults)}, {time.time() - start:.0f} s)", flush=True)
    valid = sum(1 for r in rows if "no-build" not in r)
    summary = f"caught {caught} of {valid} faults ({100.0 * caught / max(valid, 1):.1f} %) by unit tests"
    print(summary)
    if args.report:
        with open(args.report, "w", encoding="utf-8") as f:
            f.write("\n".join(rows + [summary]) + "\n")
    # Leave the scratch build matching the sources for the next run.
    run(["ninja", "-C", build] + needed, ROOT)


if __name__ == "__main__":
    main()
