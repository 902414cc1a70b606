#!/usr/bin/env bash
# Times the shop-floor service under load: N simulated machines (default 10) at 38400 baud, each
# on its own pseudo-terminal, each punching a program of SIZE KB (default 200) to one
# `korvane-cli serve` and then asking for another of the same size, all at once; then the same
# with one machine. Checks that every program arrived whole at both ends with zero overruns and
# at most 10 characters after any DC3 of a reader, and prints the service's processor time
# (also as a share of one processor over the run), peak memory and idle cost. Builds nothing.
# SERVE_BENCH_CONSUME=CPS: the readers execute slower than the line (drip feed).
# Usage: bench/serve_bench.sh [path/to/korvane-cli] [machines] [size in KB]
set -euo pipefail
cd "$(dirname "$0")/.."
cli=$(realpath "${1:-build/release/src/korvane-cli}")
machines=${2:-10}
size_kb=${3:-200}
[ -x "$cli" ] || { echo "serve_bench.sh: no korvane-cli at $cli (build first: scripts/build.sh)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "serve_bench.sh: /usr/bin/time is missing (scripts/deps.sh installs it)" >&2; exit 2; }

python3 - "$cli" "$machines" "$size_kb" <<'PY'
import json, os, random, signal, subprocess, sys, tempfile, time

cli, machines, size_kb = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
BAUD = 38400
consume = ["--consume", os.environ["SERVE_BENCH_CONSUME"]] if os.environ.get("SERVE_BENCH_CONSUME") else []

def program(number, size, seed):
    rnd = random.Random(seed)
    lines = ["%", f"O{number}", "(SERVICE LOAD TEST)", "G90 G17 G21 G94"]
    total = sum(len(l) + 2 for l in lines)
    n = 0
    while total < size:
        n += 1
        line = f"N{n} G01 X{rnd.uniform(-200, 200):.3f} Y{rnd.uniform(-200, 200):.3f} F{rnd.choice([120, 300, 800])}"
        lines.append(line)
        total += len(line) + 2
    lines += ["M30", "%"]
    return "".join(l + "\r\n" for l in lines)

def blocks(text):
    """The program's blocks as a reader sees them: no frame, no blank lines, no added blank."""
    return [l.rstrip() for l in text.replace("\r", "").split("\n") if l.strip() and l.strip() != "%"]

def json_objects(text):
    dec, objs, i = json.JSONDecoder(), [], text.find("{")
    while 0 <= i < len(text):
        obj, i = dec.raw_decode(text, i)
        objs.append(obj)
        i = text.find("{", i)
    return objs

def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

def run(count):
    work = tempfile.mkdtemp(prefix="korvane-serve-bench.")
    programs = os.path.join(work, "programs")
    os.makedirs(programs)
    answer = program(5000, size_kb * 1000, 5000)
    with open(os.path.join(programs, "O5000.nc"), "w") as f:
        f.write(answer)
    ini = ""
    for m in range(1, count + 1):
        ini += (f"[COM{m}]\r\nﾎﾟｰﾄ={m}\r\nｻｰﾋﾞｽ=1\r\nﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ={programs}\r\n受信ﾌｫﾙﾀﾞ={work}/in{m}\r\n"
                f"ｽﾋﾟｰﾄﾞ={BAUD}\r\nﾊﾝﾄﾞｼｪｲｸ=1\r\nDCDDSR=0\r\n")
    with open(os.path.join(work, "korvane.ini"), "wb") as f:
        f.write(ini.encode("cp932"))
    env = dict(os.environ, windir=work)

    # The machines first, so that every Com n names its terminal when the service opens it; each
    # punches its own program, then asks for O5000 and reads it into a 256-character buffer, taken
    # at the line rate (drip feed), or at SERVE_BENCH_CONSUME characters per second when that is
    # set, so that flow control holds the service's sends.
    punched, procs = [], []
    for m in range(1, count + 1):
        text = program(1000 + m, size_kb * 1000, m)
        path = os.path.join(work, f"punch{m}.nc")
        with open(path, "w") as f:
            f.write(text)
        punched.append(text)
        procs.append(subprocess.Popen(
            [cli, "machine", "--link", str(m), "--baud", str(BAUD), "--punch", path, "--ask", "O5000",
             "--buffer", "256", *consume, "--store", os.path.join(work, f"got{m}"),
             "--idle-exit", "60"], env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True))
    for m in range(1, count + 1):
        link = os.path.join(work, "korvane-ports", f"com{m}")
        while not os.path.islink(link):
            time.sleep(0.05)
    service_log = open(os.path.join(work, "serve.log"), "w")
    service = subprocess.Popen(["/usr/bin/time", "-f", "%U %S %M", "-o", os.path.join(work, "time.txt"),
                                cli, "serve", "--retry", "1"], env=env, stderr=service_log)
    start = time.monotonic()
    outputs = [p.communicate()[0] for p in procs]
    elapsed = time.monotonic() - start

    # Idle: five seconds with every line open and quiet (the machines have gone: their lines are
    # lost and retried, which is the idle cost of a shop whose machines are switched off).
    serve_pid = int(subprocess.check_output(["pgrep", "-P", str(service.pid)]).split()[0])
    idle_before = cpu_seconds(serve_pid)
    time.sleep(5)
    idle_cpu = cpu_seconds(serve_pid) - idle_before
    stop = time.monotonic()
    os.kill(serve_pid, signal.SIGTERM)
    service.wait(timeout=30)
    stop_s = time.monotonic() - stop
    user, system, peak_kb = open(os.path.join(work, "time.txt")).read().split()[-3:]

    problems = []
    after_dc3 = dc3s = 0
    for m, (text, out) in enumerate(zip(punched, outputs), start=1):
        stored = os.path.join(work, f"in{m}", f"O{1000 + m}.nc")
        if not os.path.exists(stored) or blocks(open(stored, encoding="latin-1").read()) != blocks(text):
            problems.append(f"machine {m}: its punched program is not stored whole")
        reads = [o for o in json_objects(out) if o.get("mode") == "read"]
        got = os.path.join(work, f"got{m}")
        files = [f for f in os.listdir(got) if f.endswith(".nc")] if os.path.isdir(got) else []
        if not files or blocks(open(os.path.join(got, files[0]), encoding="latin-1").read()) != blocks(answer):
            problems.append(f"machine {m}: O5000 did not arrive whole")
        if not reads or reads[-1]["overruns"] or reads[-1]["parity_errors"] or reads[-1]["incomplete_programs"]:
            problems.append(f"machine {m}: reader reports {reads[-1] if reads else 'nothing'}")
        elif reads[-1]["max_bytes_after_dc3"] > 10:
            problems.append(f"machine {m}: {reads[-1]['max_bytes_after_dc3']} characters after one DC3")
        if reads:
            after_dc3 = max(after_dc3, reads[-1]["max_bytes_after_dc3"])
            dc3s += reads[-1]["dc3_sent"]
    log = open(os.path.join(work, "serve.log"), encoding="utf-8").read()
    stored = log.count("result=stored")
    sent = log.count("result=sent")
    subprocess.run(["rm", "-rf", work])
    return dict(machines=count, elapsed=elapsed, cpu=float(user) + float(system), peak_mb=int(peak_kb) / 1024,
                idle_cpu=idle_cpu, stop_s=stop_s, stored=stored, sent=sent, problems=problems,
                after_dc3=after_dc3, dc3s=dc3s)

try:
    results = [run(machines), run(1)] if machines > 1 else [run(1)]
finally:
    # Nothing of a failed run may go on serving or punching.
    subprocess.run(["pkill", "-f", f"^{cli} (serve|machine)"], check=False)
print(f"{'machines':>8} {'wall s':>7} {'service CPU s':>13} {'% of one':>8} {'CPU/machine':>11} {'peak MB':>7} "
      f"{'idle CPU s/5s':>13} {'stop s':>6} {'stored':>6} {'sent':>5} {'DC3s':>6} {'max after DC3':>13}")
for r in results:
    print(f"{r['machines']:>8} {r['elapsed']:>7.1f} {r['cpu']:>13.2f} {100 * r['cpu'] / r['elapsed']:>8.1f} "
          f"{r['cpu'] / r['machines']:>11.2f} {r['peak_mb']:>7.1f} {r['idle_cpu']:>13.3f} {r['stop_s']:>6.2f} "
          f"{r['stored']:>6} {r['sent']:>5} {r['dc3s']:>6} {r['after_dc3']:>13}")
    for p in r["problems"]:
        print("  PROBLEM:", p)
ok = all(not r["problems"] and r["stored"] == r["machines"] and r["sent"] == r["machines"] for r in results)
print("every program stored and sent whole, zero overruns" if ok else "FAILED")
sys.exit(0 if ok else 1)
PY
