#!/usr/bin/env python3
"""Checks every #include "..." between the folders of src/ and sim/ against the
layer table of docs/architecture.md, and the include graph between those folders
for cycles.

The table (the one under "## Layers" whose header starts "| unit | where |")
lists the units from the bottom up. A unit's "where" is a folder or a file (the
longest match wins, so a subsystem's ui/ is a unit of its own); its "may include"
names units above it in the table (earlier rows), and a unit may include what
those may include in turn. An include of a file of the same unit is always fine.

Edges still to be removed are listed in scripts/layer-exceptions.txt (one a
line: including file, included header, why); they are left out of both checks.

Exit status 0 when the code keeps the table; 1 with one line per fault, naming
the file and line; 2 when the table itself cannot be read.
"""
import argparse
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def fail_table(msg):
    print(f"docs/architecture.md: layer table: {msg}", file=sys.stderr)
    sys.exit(2)


def read_table(doc_path):
    lines = open(doc_path, encoding="utf-8").read().splitlines()
    in_layers = False
    header = None
    rows = []
    for n, line in enumerate(lines, 1):
        if line.startswith("## "):
            if in_layers and header is not None:
                break
            in_layers = line.strip() == "## Layers"
            continue
        if not in_layers:
            continue
        if header is None:
            if re.match(r"^\|\s*unit\s*\|\s*where\s*\|", line):
                header = [c.strip() for c in line.strip().strip("|").split("|")]
            continue
        if not line.startswith("|"):
            if rows:
                break
            continue
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if all(set(c) <= set("-: ") for c in cells):
            continue
        if len(cells) != len(header):
            fail_table(f"line {n}: {len(cells)} cells, the header has {len(header)}")
        rows.append((n, dict(zip(header, cells))))
    if header is None or not rows:
        fail_table('no table "| unit | where | ... | may include |" under "## Layers"')
    if "may include" not in header:
        fail_table('no column "may include"')

    units = []          # in table order, bottom up
    where = {}          # path prefix -> unit
    allowed = {}        # unit -> units it names
    for n, row in rows:
        unit = row["unit"].strip("`")
        if unit in allowed:
            fail_table(f"line {n}: unit {unit} twice")
        paths = re.findall(r"`([^`]+)`", row["where"])
        if not paths:
            fail_table(f"line {n}: unit {unit} names no path in `...`")
        for p in paths:
            p = p.rstrip("/")
            if p in where:
                fail_table(f"line {n}: path {p} in two units")
            where[p] = unit
        names = [x.strip().strip("`") for x in row["may include"].split(",")]
        names = [x for x in names if x and x not in ("-", "—", "nothing")]
        for x in names:
            if x not in allowed:
                fail_table(f"line {n}: unit {unit} may include {x}, which is not a row above it")
        allowed[unit] = names
        units.append(unit)

    # What each unit may reach: the units it names and what they may reach.
    reach = {}
    for u in units:
        r = set()
        for x in allowed[u]:
            r.add(x)
            r |= reach[x]
        reach[u] = r
    return units, where, reach


def unit_of(rel, where):
    best = None
    for p, u in where.items():
        if rel == p or rel.startswith(p + "/"):
            if best is None or len(p) > len(best[0]):
                best = (p, u)
    return best[1] if best else None


def resolve(root, rel_dir, inc):
    for base in (rel_dir, "src", "sim"):
        cand = os.path.normpath(os.path.join(base, inc))
        if os.path.isfile(os.path.join(root, cand)):
            return cand.replace(os.sep, "/")
    return None


def read_exceptions(path):
    out = {}
    if not os.path.isfile(path):
        return out
    for n, line in enumerate(open(path, encoding="utf-8"), 1):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        parts = line.split(None, 2)
        if len(parts) < 3:
            print(f"{path}:{n}: needs: including file, included header, why", file=sys.stderr)
            sys.exit(2)
        out[(parts[0], parts[1])] = n
    return out


def find_cycle(graph):
    # Depth-first search; returns one cycle as a list of units, or None.
    state = {}
    stack = []

    def visit(u):
        state[u] = 1
        stack.append(u)
        for v in sorted(graph.get(u, ())):
            if state.get(v) == 1:
                return stack[stack.index(v):] + [v]
            if v not in state:
                c = visit(v)
                if c:
                    return c
        stack.pop()
        state[u] = 2
        return None

    for u in sorted(graph):
        if u not in state:
            c = visit(u)
            if c:
                return c
    return None


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    args = ap.parse_args()
    root = os.path.abspath(args.root)
    units, where, reach = read_table(os.path.join(root, "docs", "architecture.md"))
    exceptions = read_exceptions(os.path.join(root, "scripts", "layer-exceptions.txt"))
    used_exceptions = set()

    faults = []
    graph = {}
    witness = {}
    for top in ("src", "sim"):
        for dirpath, dirnames, filenames in os.walk(os.path.join(root, top)):
            dirnames.sort()
            for name in sorted(filenames):
                if not name.endswith((".h", ".hpp", ".cpp", ".cc")):
                    continue
                rel = os.path.relpath(os.path.join(dirpath, name), root).replace(os.sep, "/")
                src_unit = unit_of(rel, where)
                if src_unit is None:
                    faults.append(f"{rel}:1: lies in no unit of the layer table")
                    continue
                rel_dir = os.path.dirname(rel)
                with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
                    for n, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        target = resolve(root, rel_dir, m.group(1))
                        if target is None:
                            continue
                        dst_unit = unit_of(target, where)
                        if dst_unit is None or dst_unit == src_unit:
                            continue
                        if (rel, m.group(1)) in exceptions:
                            used_exceptions.add((rel, m.group(1)))
                            continue
                        graph.setdefault(src_unit, set()).add(dst_unit)
                        witness.setdefault((src_unit, dst_unit), f"{rel}:{n}")
                        if dst_unit not in reach[src_unit]:
                            faults.append(f'{rel}:{n}: includes "{m.group(1)}": unit {src_unit} may not '
                                          f"include unit {dst_unit} (layer table of docs/architecture.md)")

    cycle = find_cycle(graph)
    if cycle:
        steps = ", ".join(f"{a} -> {b} ({witness[(a, b)]})" for a, b in zip(cycle, cycle[1:]))
        faults.append(f"include cycle between units: {steps}")

    # A folder and its ui/ together must not be on a cycle either: a folder
    # stands wholly above or wholly below another.
    def folder(unit):
        return "app" if unit == "main" else unit.split("/")[0]
    folders, folder_witness = {}, {}
    for a, targets in graph.items():
        for b in targets:
            if folder(a) != folder(b):
                folders.setdefault(folder(a), set()).add(folder(b))
                folder_witness.setdefault((folder(a), folder(b)), witness[(a, b)])
    cycle = find_cycle(folders)
    if cycle:
        steps = ", ".join(f"{a} -> {b} ({folder_witness[(a, b)]})" for a, b in zip(cycle, cycle[1:]))
        faults.append(f"include cycle between folders: {steps}")

    for key, n in sorted(exceptions.items(), key=lambda kv: kv[1]):
        if key not in used_exceptions:
            print(f"scripts/layer-exceptions.txt:{n}: {key[0]} no longer includes {key[1]}: "
                  f"the line can go", file=sys.stderr)

    for line in faults:
        print(line, file=sys.stderr)
    if faults:
        print(f"layers: {len(faults)} fault(s)", file=sys.stderr)
        return 1
    print(f"layers: {len(units)} units, {sum(len(v) for v in graph.values())} unit edges, "
          f"{len(used_exceptions)} listed exceptions, no fault")
    return 0


if __name__ == "__main__":
    sys.exit(main())
