#!/usr/bin/env python3
"""Measures lathe programs with korvane-cli analyze and with lathe_reference.py, an independent
reading of the same lathe rules, and compares them row by row: the same number of rows, the same
file name, program number and tape length, the time within 1 % and the cutting length within 0.5 %.

Random programs are plausible parts, each on a machine of its own (rapid rate, spindle limit, tool
change time, decimal point input), that together use every construct the lathe reading knows:
facing under G96 up to the limit, G71/G72/G73 roughing of stepped, tapered and rounded shapes in
the two-block and the one-block form, G70 finishing, G74 drilling and face grooving, G75 grooving,
G76/G92/G32 threading, G90/G94 with and without a taper, dwells, G28/G53/G50, feeds per minute,
tool changes, inch programs, calculator-type programs (numbers without a point in mm), programs
without an end code and files of two programs.

Usage: compare_lathe.py KORVANE_CLI [COUNT] [SEED]
       compare_lathe.py KORVANE_CLI --files FILE... [--machine KEY=VALUE ...]
       compare_lathe.py --write FOLDER [COUNT] [SEED]   (the programs and the reference's rows only)
Machine keys as in korvane.ini (早送り速度, 最高回転数, 工具交換時間, 小数点入力); with --files the
defaults are a lathe with korvane's defaults. Exit status 0 when every row agrees; otherwise each
disagreement is printed, with the program kept in a file whose name is printed."""
import os
import random
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lathe_reference as ref  # noqa: E402
from lathe_programs import random_file, random_profiles  # noqa: E402


# --------------------------------------------------------------------------------------------
# Settings: korvane.ini is CP932 with CR LF lines; windir names its folder.

def write_ini(folder, profiles):
    lines = []
    for slot, keys in sorted(profiles.items()):
        lines.append(f"[COM{slot}]")
        lines += [f"{k}={v}" for k, v in keys.items()]
    with open(os.path.join(folder, "korvane.ini"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("cp932"))


def machine_of(keys, lathe=True):
    """The reference's machine for profile keys: a lathe (korvane told --lathe, whatever the
    profile's kind), or else what the profile's 機械種類 says, a machining centre by default."""
    m = ref.Machine()
    for k, v in keys.items():
        m.set_key(k, str(v))
    m.mill = not lathe and float(keys.get("機械種類", 0)) != 1
    return m


# --------------------------------------------------------------------------------------------

def korvane_rows(cli, env, path, slot, lathe_flag):
    args = [cli, "analyze", "--profile", str(slot)] + (["--lathe"] if lathe_flag else []) + [path]
    run = subprocess.run(args, capture_output=True, env=env, timeout=120)
    out = run.stdout.decode("utf-8", "replace")
    rows = [line.split("\t") for line in out.splitlines() if line]
    return run.returncode, rows, run.stderr.decode("utf-8", "replace")


def compare(cli, env, path, slot, lathe_flag, machine, label):
    """Prints the verdict for one file; returns the list of disagreements."""
    with open(path, "rb") as f:
        data = f.read()
    expected = ref.analyze_bytes(os.path.basename(path), data, machine)
    status, got, err = korvane_rows(cli, env, path, slot, lathe_flag)
    problems = []
    if status != 0:
        problems.append(f"korvane-cli exit status {status}: {err.strip()}")
    if len(got) != len(expected):
        problems.append(f"{len(got)} rows from korvane, {len(expected)} from the reference")
    for i, (g, e) in enumerate(zip(got, expected)):
        texts = e.texts()
        if len(g) != 5:
            problems.append(f"row {i + 1}: korvane printed {g}")
            continue
        for col, what in ((0, "file name"), (1, "program number"), (4, "tape length")):
            if g[col] != texts[col]:
                problems.append(f"row {i + 1}: {what} {g[col]!r} from korvane, {texts[col]!r} from the reference")
        minutes, cut = float(g[2]), float(g[3])
        if abs(minutes - e.minutes) > max(0.01 * e.minutes, 0.006):
            problems.append(f"row {i + 1}: time {g[2]} min from korvane, {e.minutes:.4f} from the reference")
        if abs(cut - e.millimetres) > max(0.005 * e.millimetres, 0.006):
            problems.append(f"row {i + 1}: cutting length {g[3]} mm from korvane, {e.millimetres:.3f} from the reference")
    summary = "; ".join(f"{r.minutes:.3f} min {r.millimetres:.2f} mm" for r in expected)
    mine = "; ".join(f"{r[2]} min {r[3]} mm" for r in got if len(r) == 5)
    print(f"{label}: reference {summary or 'no row'} | korvane {mine or 'no row'} {'ok' if not problems else 'DIFFERS'}")
    for p in problems:
        print(f"  {p}")
    return problems


def write_programs(folder, count, seed):
    """The random programs and what the reference makes of them, without korvane."""
    os.makedirs(folder, exist_ok=True)
    rnd = random.Random(seed)
    profiles = random_profiles(rnd)
    for n in range(count):
        slot = n % 10 + 1
        keys = profiles[slot]
        text = random_file(rnd, n, keys["小数点入力"] == 1)
        path = os.path.join(folder, f"l{n}.nc")
        with open(path, "w", newline="") as f:
            f.write(text)
        rows = ref.analyze_bytes(os.path.basename(path), text.encode(), machine_of(keys))
        machine = " ".join(f"{k}={v}" for k, v in keys.items())
        print(f"l{n}.nc [{machine}]: " + "; ".join(f"{r.minutes:.4f} min {r.millimetres:.3f} mm" for r in rows))
    return 0


def golden_cases_agree(root):
    """The reference itself against the golden cases whose figures are worked out by hand in their
    notes (folders with notes.md): the same rows, text for text."""
    bad = 0
    for name in sorted(os.listdir(root)):
        folder = os.path.join(root, name)
        if not os.path.exists(os.path.join(folder, "notes.md")):
            continue
        keys = {}
        if os.path.exists(os.path.join(folder, "machine.txt")):
            with open(os.path.join(folder, "machine.txt"), encoding="utf-8") as f:
                keys = dict(line.strip().split("=", 1) for line in f if "=" in line)
        machine = machine_of(keys, lathe=keys.get("機械種類") == "1")
        with open(os.path.join(folder, "paths.txt")) as f:
            paths = [os.path.join(folder, line.strip()) for line in f if line.strip()]
        with open(os.path.join(folder, "expected.tsv"), encoding="utf-8") as f:
            expected = [line.rstrip("\n") for line in f if line.strip()]
        got = ["\t".join(row.texts()) for row in ref.analyze(paths, machine)]
        if got != expected:
            bad += 1
            print(f"golden case {name}: the reference gives {got}, expected.tsv says {expected}")
    return bad == 0


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    if argv[1] == "--write":
        return write_programs(argv[2], int(argv[3]) if len(argv) > 3 else 40, int(argv[4]) if len(argv) > 4 else 20261215)
    cli = os.path.abspath(argv[1])
    if not os.path.exists(cli):
        print(f"no korvane-cli at {cli}")
        return 2
    rest = argv[2:]
    work = tempfile.mkdtemp(prefix="lathe-compare-")
    env = dict(os.environ, windir=work, XDG_CONFIG_HOME=work, LC_ALL="C.UTF-8")
    failed = 0
    kept = []
    try:
        if rest and rest[0] == "--files":
            files, keys = [], {"機械種類": 1}
            i = 1
            while i < len(rest):
                if rest[i] == "--machine" and i + 1 < len(rest):
                    k, _, v = rest[i + 1].partition("=")
                    keys[k.strip()] = v.strip()
                    i += 2
                else:
                    files.append(os.path.abspath(rest[i]))
                    i += 1
            write_ini(work, {1: keys})
            machine = machine_of(keys)
            for path in files:
                if compare(cli, env, path, 1, False, machine, os.path.basename(path)):
                    failed += 1
            print(f"{len(files) - failed} agreed, {failed} differ")
            return 1 if failed else 0

        count = int(rest[0]) if rest else 40
        seed = int(rest[1]) if len(rest) > 1 else 20261215
        # The reference itself first: its closed-form G96 times against a numerical integration,
        # its rows against the golden cases worked out by hand.
        if ref.self_test(seed=seed) != 0:
            return 1
        golden = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "analysis")
        if not golden_cases_agree(golden):
            return 1
        rnd = random.Random(seed)
        profiles = random_profiles(rnd)
        write_ini(work, profiles)
        keep = tempfile.mkdtemp(prefix="lathe-disagreements-")
        for n in range(count):
            slot = n % 10 + 1
            keys = dict(profiles[slot])
            machine = machine_of(keys)
            text = random_file(rnd, n, keys["小数点入力"] == 1)
            path = os.path.join(work, f"l{n}.nc")
            with open(path, "w", newline="") as f:
                f.write(text)
            label = f"l{n} (profile {slot}: " + ", ".join(f"{k}={v}" for k, v in keys.items()) + ")"
            if compare(cli, env, path, slot, keys["機械種類"] == 0, machine, label):
                failed += 1
                shutil.copy(path, os.path.join(keep, f"l{n}.nc"))
                kept.append(os.path.join(keep, f"l{n}.nc"))
                keyed = " ".join(f"--machine {k}={v}" for k, v in keys.items() if k != "機械種類")
                print(f"  program kept in {keep}/l{n}.nc; again: compare_lathe.py {cli} --files {keep}/l{n}.nc {keyed}")
        if not kept:
            os.rmdir(keep)
        print(f"{count - failed} passed, {failed} failed")
        return 1 if failed else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
