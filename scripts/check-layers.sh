#!/usr/bin/env bash
# check-layers.sh: keeps the floors of docs/ARCHITECTURE.md true. Reads every `#include "..."` of the program's own
# code (not tests, benchmarks, tools or third-party headers) and fails when a file includes one on a higher floor, or
# when includes form a circle (a header and its .cpp counting as one unit). The floor order is the table between the
# floors markers of docs/ARCHITECTURE.md, top floor first: the one list both the document and this check read.
#
# Usage: scripts/check-layers.sh [TREE]     (default: the checkout this script is in)
# Exit status: 0 when the tree keeps its floors, 1 when it does not (each fault on a line of its own), 2 when the
# floor table cannot be read.
set -euo pipefail
tree=${1:-"$(dirname "$0")/.."}
exec python3 - "$tree" <<'PY'
import os, re, sys

tree = sys.argv[1]
doc = os.path.join(tree, "docs", "ARCHITECTURE.md")
try:
    text = open(doc, encoding="utf-8").read()
except OSError as e:
    print(f"check-layers: cannot read the floor table: {doc}: {e.strerror}", file=sys.stderr)
    sys.exit(2)
m = re.search(r"<!-- floors:begin -->(.*?)<!-- floors:end -->", text, re.S)
if not m:
    print(f"check-layers: {doc} has no table between <!-- floors:begin --> and <!-- floors:end -->", file=sys.stderr)
    sys.exit(2)

# Table rows "| floor | folders | what it holds |", top floor first; folders as `name/`, comma separated.
floors = []  # (floor name, [folders]) bottom first
for row in m.group(1).splitlines():
    cells = [c.strip() for c in row.strip().strip("|").split("|")]
    if len(cells) < 2 or not row.strip().startswith("|") or set(cells[0]) <= set("-: ") or cells[0] == "floor":
        continue
    folders = re.findall(r"`([^`]+?)/?`", cells[1])
    if not folders:
        print(f"check-layers: floor '{cells[0]}' in {doc} names no folder", file=sys.stderr)
        sys.exit(2)
    floors.append((cells[0], folders))
floors.reverse()
if not floors:
    print(f"check-layers: the floor table in {doc} is empty", file=sys.stderr)
    sys.exit(2)

level = {}  # folder -> (index, floor name)
for i, (name, folders) in enumerate(floors):
    for f in folders:
        level[f] = (i, name)

def floor_of(path):
    """The floor of a file: the longest listed folder that holds it."""
    best = None
    for folder in level:
        if path == folder or path.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return level[best] if best else None

sources = []
for folder in level:
    root = os.path.join(tree, folder)
    for dirpath, _, names in os.walk(root):
        for n in names:
            if n.endswith((".h", ".cpp")):
                sources.append(os.path.relpath(os.path.join(dirpath, n), tree))
sources.sort()

include = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
faults = []
edges = {}  # unit -> {unit: (file, line, header)}
unit = lambda p: os.path.splitext(p)[0]
for src in sources:
    here = floor_of(src)
    for number, line in enumerate(open(os.path.join(tree, src), encoding="utf-8", errors="replace"), 1):
        m = include.match(line)
        if not m:
            continue
        header = m.group(1)
        if not os.path.exists(os.path.join(tree, header)):
            continue  # a third-party header found on the include path
        there = floor_of(header)
        if there is None:
            faults.append(f"{src}:{number}: includes {header}, which is on no floor of docs/ARCHITECTURE.md")
            continue
        if there[0] > here[0]:
            faults.append(f"{src}:{number}: includes {header}: floor '{here[1]}' includes floor '{there[1]}', "
                          f"which is above it")
        if unit(header) != unit(src):
            edges.setdefault(unit(src), {}).setdefault(unit(header), (src, number, header))

# Circles: the strongly connected components of the unit graph (Tarjan's algorithm, without recursion).
index, low, on_stack, stack, components, counter = {}, {}, set(), [], [], [0]
for start in sorted(edges):
    if start in index:
        continue
    work = [(start, iter(sorted(edges.get(start, {}))))]
    index[start] = low[start] = counter[0]; counter[0] += 1
    stack.append(start); on_stack.add(start)
    while work:
        node, children = work[-1]
        advanced = False
        for child in children:
            if child not in index:
                index[child] = low[child] = counter[0]; counter[0] += 1
                stack.append(child); on_stack.add(child)
                work.append((child, iter(sorted(edges.get(child, {})))))
                advanced = True
                break
            if child in on_stack:
                low[node] = min(low[node], index[child])
        if advanced:
            continue
        work.pop()
        if work:
            low[work[-1][0]] = min(low[work[-1][0]], low[node])
        if low[node] == index[node]:
            component = []
            while True:
                top = stack.pop(); on_stack.discard(top); component.append(top)
                if top == node:
                    break
            if len(component) > 1:
                components.append(sorted(component))

for component in components:
    members = set(component)
    # One circle through the component: follow edges inside it from its first unit until a unit repeats.
    path, seen, node = [], {}, component[0]
    while node not in seen:
        seen[node] = len(path)
        nxt = next(u for u in sorted(edges[node]) if u in members)
        path.append(edges[node][nxt])
        node = nxt
    steps = " -> ".join(f"{src}:{number} includes {header}" for src, number, header in path[seen[node]:])
    faults.append(f"include circle among {', '.join(component)}: {steps}")

for fault in faults:
    print(f"check-layers: {fault}", file=sys.stderr)
if faults:
    print(f"check-layers: {len(faults)} fault(s); the floors are listed in docs/ARCHITECTURE.md", file=sys.stderr)
    sys.exit(1)
print(f"check-layers: {len(sources)} files on {len(floors)} floors, no include runs upward, no include circle")
PY
