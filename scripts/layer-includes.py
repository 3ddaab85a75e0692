#!/usr/bin/env python3
"""Which layer folder includes which, read from the sources' #include lines.

Prints one line per pair of folders (how many includes lead from one to the other), then the
folders in an order in which every include points downwards, or the circles that make such an
order impossible, and every include of a store-private header from outside the store. Exits 1
when there is a circle or such an include. Tests, benchmarks and fuzzers are left out: they may
reach below the public interfaces on purpose.

    scripts/layer-includes.py            # the whole tree
    scripts/layer-includes.py FILE...    # the files these reach, folder by folder: what they
                                         # include, and the source beside each header reached
"""
import collections
import os
import re
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
LEFT_OUT = {"tests", "bench", "fuzz", "build", "scripts", "app-folder", ".git", ".ci"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def layer_of(path):
    """The layer a file belongs to: its top folder; each kind and each tool counts with its group."""
    return path.split(os.sep)[0]


def sources():
    for top in sorted(os.listdir(ROOT)):
        if top in LEFT_OUT or not os.path.isdir(os.path.join(ROOT, top)):
            continue
        for folder, dirs, files in os.walk(os.path.join(ROOT, top)):
            dirs.sort()
            for f in sorted(files):
                if f.endswith((".cpp", ".h")):
                    yield os.path.relpath(os.path.join(folder, f), ROOT)


def resolver(files):
    by_name = collections.defaultdict(list)
    for f in files:
        by_name[os.path.basename(f)].append(f)

    def resolve(including, written):
        beside = os.path.normpath(os.path.join(os.path.dirname(including), written))
        if beside in files:
            return beside
        matches = [f for f in by_name.get(os.path.basename(written), []) if f.endswith(written)]
        if len(matches) == 1:
            return matches[0]
        # Several headers of that name: the one in the including file's own layer, if any.
        own = [f for f in matches if layer_of(f) == layer_of(including)]
        return own[0] if len(own) == 1 else None

    return resolve


def edges_of(files, resolve):
    edges = []
    for f in files:
        with open(os.path.join(ROOT, f), encoding="utf-8", errors="replace") as text:
            for written in INCLUDE.findall(text.read()):
                target = resolve(f, written)
                if target:
                    edges.append((f, target))
    return edges


def circles(graph):
    """Strongly connected groups of more than one folder (Tarjan)."""
    index, low, stack, on, found, counter = {}, {}, [], set(), [], [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on.add(v)
        for w in graph[v]:
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            group = []
            while True:
                w = stack.pop()
                on.discard(w)
                group.append(w)
                if w == v:
                    break
            if len(group) > 1:
                found.append(sorted(group))

    for v in sorted(graph):
        if v not in index:
            visit(v)
    return found


def downward_order(graph):
    """Folders from the bottom up, each after every folder it includes."""
    order, seen = [], set()

    def place(v):
        if v in seen:
            return
        seen.add(v)
        for w in sorted(graph[v]):
            place(w)
        order.append(v)

    for v in sorted(graph):
        place(v)
    return order


def main(argv):
    files = set(sources())
    resolve = resolver(files)
    if argv:
        wanted = [os.path.relpath(os.path.abspath(a), ROOT) for a in argv]
        reached, todo = set(), list(wanted)
        while todo:
            f = todo.pop()
            if f in reached or f not in files:
                continue
            reached.add(f)
            todo.extend(t for s, t in edges_of([f], resolve))
            if f.endswith(".h"):
                stem = os.path.basename(f)[:-2] + ".cpp"
                todo.extend(g for g in files if os.path.basename(g) == stem and layer_of(g) == layer_of(f))
        for layer, group in sorted(collections.Counter(layer_of(f) for f in reached).items()):
            print(f"{layer:12} {group:3}  " + " ".join(sorted(os.path.relpath(f, layer) for f in reached
                                                              if layer_of(f) == layer)))
        print(f"{len(reached)} files")
        return 0

    edges = edges_of(sorted(files), resolve)
    pairs = collections.Counter((layer_of(s), layer_of(t)) for s, t in edges if layer_of(s) != layer_of(t))
    graph = collections.defaultdict(set)
    for layer in {layer_of(f) for f in files}:
        graph[layer]
    for (a, b) in pairs:
        graph[a].add(b)
    for (a, b), n in sorted(pairs.items()):
        print(f"{a:12} -> {b:12} {n}")
    faults = 0
    found = circles(graph)
    for group in found:
        print("circle: " + " <-> ".join(group))
        faults += 1
    if not found:
        print("bottom up: " + " ".join(downward_order(graph)))
    for s, t in edges:
        if t.startswith("store" + os.sep + "src" + os.sep) and layer_of(s) != "store":
            print(f"private store header included from outside the store: {s} -> {t}")
            faults += 1
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
