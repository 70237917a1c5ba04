#!/usr/bin/env bash
# measure-demo.sh: where the time of `make demo` goes, from a fresh clone to the display's first screenshot.
#
# Usage: scripts/measure-demo.sh [-s SECONDS] [-k] [TREE[@COMMIT]]...
#   TREE     a git repository to clone (default: this one, at its HEAD); @COMMIT checks that commit out, e.g.
#            scripts/measure-demo.sh /work/main@60960f6 .    measures the older tree first, then this one, back to back
#   -s N     the demo's KESTREL_DEMO_SECONDS (default 12: long enough for the screenshot after LOAD GEORGIA)
#   -k       keep the clones and the logs (under /tmp/measure-demo.XXXXXX) for inspection
#
# Each tree is cloned afresh into /tmp and `make demo` runs there exactly as a pilot types it (the packages are
# expected to be installed already), without a screen, so the demo runs its own Xvfb and saves screenshots. Nothing
# in the tree is changed; the figures come from outside:
#   - every recipe line of make runs through a shell that times it (wall, and user+sys of all it ran): installing,
#     configuring, and the line that compiles while the theatres render;
#   - the compiler and the linker run through a launcher that times each object and program (CMake's
#     CMAKE_CXX_COMPILER_LAUNCHER and CMAKE_CXX_LINKER_LAUNCHER from the environment), summed per target;
#   - each theatre's rendering: the figures make-theatres.sh prints;
#   - start-up: from the start of scripts/demo.sh to the first screenshot file, and to the first one showing the
#     map; the processor time of the whole process tree of make is read from /proc when the first screenshot appears.
# Processor time (user+sys) does not grow with the machine's load the way wall time does: compare it between trees,
# and wall time only within one run. The load average is printed at the start and the end of each tree's run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

seconds=12
keep=0
while getopts "s:k" opt; do
  case $opt in
  s) seconds=$OPTARG ;;
  k) keep=1 ;;
  *) sed -n '3,8p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -gt 0 ] || set -- "$here"
if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -lt 2 ]; then
  echo "measure-demo: -s wants whole seconds, 2 or more" >&2
  exit 2
fi

work=$(mktemp -d /tmp/measure-demo.XXXXXX)
if [ "$keep" = 0 ]; then trap 'rm -rf "$work"' EXIT; fi
mkdir -p "$work/bin"

# make's shell: times each recipe line. Lines: START END WALL USER SYS EXIT<TAB>COMMAND.
cat >"$work/bin/shell" <<'EOF'
#!/bin/bash
t0=$(date +%s.%N)
out=$(mktemp)
/usr/bin/time -f '%e %U %S' -o "$out" /bin/bash "$@"
rc=$?
t1=$(date +%s.%N)
command=${*: -1}
printf '%s %s %s %s\t%s\n' "$t0" "$t1" "$(tail -n 1 "$out")" "$rc" "${command//$'\n'/ }" >>"$MEASURE_DEMO_LOG/recipes"
rm -f "$out"
exit $rc
EOF
# The compiler's and the linker's launcher: one line per object or program, START END WALL USER SYS OUTPUT.
cat >"$work/bin/launch" <<'EOF'
#!/bin/bash
output=
previous=
for a in "$@"; do
  [ "$previous" = -o ] && output=$a
  previous=$a
done
t0=$(date +%s.%N)
out=$(mktemp)
/usr/bin/time -f '%e %U %S' -o "$out" "$@"
rc=$?
t1=$(date +%s.%N)
printf '%s %s %s %s\n' "$t0" "$t1" "$(tail -n 1 "$out")" "$output" >>"$MEASURE_DEMO_LOG/compiles"
rm -f "$out"
exit $rc
EOF
# cmake itself, first on PATH: times each configure and each build apart, however the Makefile chains them.
cat >"$work/bin/cmake" <<EOF
#!/bin/bash
t0=\$(date +%s.%N)
out=\$(mktemp)
/usr/bin/time -f '%e %U %S' -o "\$out" $(command -v cmake) "\$@"
rc=\$?
t1=\$(date +%s.%N)
printf '%s %s %s %s\t%s\n' "\$t0" "\$t1" "\$(tail -n 1 "\$out")" "\$rc" "cmake \$*" >>"\$MEASURE_DEMO_LOG/cmake"
rm -f "\$out"
exit \$rc
EOF
chmod +x "$work/bin/shell" "$work/bin/launch" "$work/bin/cmake"

n=0
results=()
for spec in "$@"; do
  n=$((n + 1))
  tree=${spec%@*}
  commit=
  [ "$spec" = "$tree" ] || commit=${spec##*@}
  tree=$(cd "$tree" && pwd)
  [ -n "$commit" ] || commit=$(git -C "$tree" rev-parse HEAD)
  name="$n-$(basename "$tree")-$(git -C "$tree" rev-parse --short "$commit")"
  clone=$work/$name/clone
  logs=$work/$name/logs
  mkdir -p "$logs"
  git clone --quiet --no-checkout "$tree" "$clone"
  git -C "$clone" checkout --quiet "$commit"
  echo "measure-demo: $name: make demo in $clone (KESTREL_DEMO_SECONDS=$seconds)"
  # No screen (the demo starts its own Xvfb and saves screenshots), the launchers, the timing shell.
  env -u DISPLAY -u WAYLAND_DISPLAY KESTREL_DEMO_SECONDS="$seconds" MEASURE_DEMO_LOG="$logs" PATH="$work/bin:$PATH" \
    CMAKE_CXX_COMPILER_LAUNCHER="$work/bin/launch" CMAKE_CXX_LINKER_LAUNCHER="$work/bin/launch" \
    python3 - "$clone" "$logs" "$work/bin/shell" "$name" <<'EOF'
import os, shutil, subprocess, sys, time

clone, logs, shell, name = sys.argv[1:5]
shots = os.path.join(clone, "build", "demo", "screenshots")
copies = os.path.join(logs, "screenshots")
os.makedirs(copies)
tick = os.sysconf("SC_CLK_TCK")


def tree_cpu(root):
    """user+sys seconds of root and every process below it, the finished ones included (those make has waited
    for count in its children's times; those not waited for yet are still listed under their parents), and the
    display's own (pid, user+sys) when it runs."""
    parent, cpu, own, display = {}, {}, {}, None
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open(f"/proc/{pid}/stat") as f:
                head, tail = f.read().rsplit(")", 1)
            fields = tail.split()
        except OSError:
            continue
        parent[int(pid)] = int(fields[1])
        cpu[int(pid)] = sum(int(x) for x in fields[11:15]) / tick  # utime stime cutime cstime
        own[int(pid)] = sum(int(x) for x in fields[11:13]) / tick
        if head.endswith("(kestrel"):
            display = int(pid)
    below, todo = {root}, [root]
    while todo:
        p = todo.pop()
        for child, pp in parent.items():
            if pp == p and child not in below:
                below.add(child)
                todo.append(child)
    shown = (display, own[display]) if display in below else None
    return sum(cpu.get(p, 0.0) for p in below), shown


with open("/proc/loadavg") as f:
    load0 = " ".join(f.read().split()[:3])
start = time.time()
with open(os.path.join(logs, "make.log"), "w") as out:
    make = subprocess.Popen(["make", "demo", "SHELL=" + shell], cwd=clone, stdin=subprocess.DEVNULL, stdout=out,
                            stderr=subprocess.STDOUT)
    seen = {}
    first_cpu = None
    display = {}  # pid: [first seen, last user+sys]
    while make.poll() is None:
        if seen:
            try:
                _, shown = tree_cpu(make.pid)
            except OSError:
                shown = None
            if shown:
                display.setdefault(shown[0], [time.time(), 0.0])[1] = shown[1]
        try:
            names = sorted(os.listdir(shots))
        except OSError:
            names = []
        for n in names:
            if n.endswith(".png") and n not in seen:
                seen[n] = time.time()
                if first_cpu is None:
                    first_cpu = tree_cpu(make.pid)[0]
                time.sleep(0.2)  # written by now: the display saves a picture in a few milliseconds
                try:
                    shutil.copy(os.path.join(shots, n), copies)
                except OSError:
                    pass
        time.sleep(0.05)
end = time.time()
with open("/proc/loadavg") as f:
    load1 = " ".join(f.read().split()[:3])
with open(os.path.join(logs, "run"), "w") as f:
    print(start, end, make.returncode, first_cpu if first_cpu is not None else -1, load0, sep="\t", file=f)
    print(load1, "\t".join("%.2f %.2f" % (end - t, c) for t, c in display.values()), sep="\t", file=f)
    for n, t in sorted(seen.items()):
        print(n, t, file=f)
EOF
  results+=("$name")
done

# The report: one block per tree, then the phases side by side.
python3 - "$work" "${results[@]}" <<'EOF'
import os, re, subprocess, sys

work, names = sys.argv[1], sys.argv[2:]


def map_shown(png):
    """True when the screenshot shows a theatre map: the sea of the night palette (8,18,34) covers part of it."""
    try:
        out = subprocess.run(["/usr/bin/convert", png, "-fill", "black", "+opaque", "rgb(8,18,34)", "-fill", "white",
                              "-opaque", "rgb(8,18,34)", "-format", "%[fx:mean]", "info:"],
                             capture_output=True, text=True, check=True).stdout
        return float(out) > 0.01
    except (subprocess.CalledProcessError, ValueError):
        return False


def phases(name):
    logs = os.path.join(work, name, "logs")
    with open(os.path.join(logs, "run")) as f:
        lines = f.read().splitlines()
    start, end, rc, first_cpu, load0 = lines[0].split("\t")
    start, end, first_cpu = float(start), float(end), float(first_cpu)
    load1, *display = lines[1].split("\t")
    shots = [(l.split()[0], float(l.split()[1])) for l in lines[2:]]
    rows = []  # (phase, wall, cpu)
    recipes = []
    with open(os.path.join(logs, "recipes")) as f:
        for l in f:
            figures, command = l.rstrip("\n").split("\t", 1)
            t0, t1, wall, user, sys_, code = figures.split()
            recipes.append((float(t0), float(t1), float(user) + float(sys_), command))
    compiles = {}
    try:
        with open(os.path.join(logs, "compiles")) as f:
            for l in f:
                t0, t1, wall, user, sys_, output = l.split()
                if "CMakeFiles/CMakeScratch" in output or "/cmTC_" in output or output.startswith("cmTC_"):
                    target = "configure's checks"
                    m = None
                else:
                    m = re.search(r"CMakeFiles/([^/]+)\.dir/", output)
                    target = m.group(1) if m else os.path.basename(output)
                kind = "compile" if m else "link" if target != "configure's checks" else "compile and link:"
                c = compiles.setdefault((target, kind), [float(t0), float(t1), 0.0, 0])
                c[0], c[1] = min(c[0], float(t0)), max(c[1], float(t1))
                c[2] += float(user) + float(sys_)
                c[3] += 1
    except FileNotFoundError:
        pass
    demo_start = None
    for t0, t1, cpu, command in recipes:
        if "install-deps" in command:
            rows.append(("installing (install-deps.sh)", t1 - t0, cpu))
        elif "demo.sh" in command:
            demo_start = t0
        elif "cmake --build" in command or "make-theatres" in command:
            rows.append(("configuring, compiling, theatres (recipe)", t1 - t0, cpu))
    with open(os.path.join(logs, "cmake")) as f:
        for l in f:
            figures, command = l.rstrip("\n").split("\t", 1)
            t0, t1, wall, user, sys_, code = figures.split()
            what = "compiling (cmake --build)" if "--build" in command else "configuring (cmake)"
            rows.append((what, float(t1) - float(t0), float(user) + float(sys_)))
    for (target, kind), (t0, t1, cpu, count) in sorted(compiles.items(), key=lambda kv: kv[1][0]):
        rows.append(("  %s %s (%d)" % (kind, target, count), t1 - t0, cpu))
    with open(os.path.join(logs, "make.log"), errors="replace") as f:
        text = f.read()
    for m in re.finditer(r"make-theatres: (\w+) +\d+x\d+ px.*?, ([\d.]+) s(?:, cpu ([\d.]+) s)?", text):
        rows.append(("  theatre %s" % m.group(1), float(m.group(2)), float(m.group(3)) if m.group(3) else None))
    first = shots[0][1] if shots else None
    copies = os.path.join(logs, "screenshots")
    with_map = next((t for n, t in shots if os.path.exists(os.path.join(copies, n))
                     and map_shown(os.path.join(copies, n))), None)
    before = sum(cpu for t0, t1, cpu, command in recipes if demo_start is None or t1 <= demo_start)
    if demo_start is not None and first is not None:
        rows.append(("start-up to the first screenshot", first - demo_start, first_cpu - before))
    if demo_start is not None and with_map is not None:
        rows.append(("start-up to the map on screen", with_map - demo_start, None))
    if first is not None:
        rows.append(("TOTAL to the first screenshot", first - start, first_cpu))
    if with_map is not None:
        rows.append(("TOTAL to the map on screen", with_map - start, None))
    for d in display:
        span, cpu = (float(x) for x in d.split())
        if span > 0:
            rows.append(("display while it ran (%.0f%% of a core)" % (100 * cpu / span), span, cpu))
    status = "ok" if rc == "0" else "make demo FAILED (exit %s), see %s/make.log" % (rc, logs)
    return rows, load0, load1, status


table = {}
order = []
for name in names:
    rows, load0, load1, status = phases(name)
    print("\n== %s: %s; load average %s at the start, %s at the end" % (name, status, load0, load1))
    print("%-44s %9s %9s" % ("phase", "wall s", "cpu s"))
    for phase, wall, cpu in rows:
        print("%-44s %9.1f %9s" % (phase, wall, "-" if cpu is None else "%.1f" % cpu))
        key = phase.strip()
        if key not in order:
            order.append(key)
        table.setdefault(key, {})[name] = (wall, cpu)
if len(names) > 1:
    print("\n== side by side: wall s / cpu s")
    print("%-44s" % "phase" + "".join(" %24s" % n[:24] for n in names))
    for key in order:
        cells = []
        for n in names:
            if n in table[key]:
                wall, cpu = table[key][n]
                cells.append(" %24s" % ("%.1f / %s" % (wall, "-" if cpu is None else "%.1f" % cpu)))
            else:
                cells.append(" %24s" % "")
        print("%-44s" % key + "".join(cells))
EOF
[ "$keep" = 0 ] || echo "measure-demo: clones and logs kept in $work"
