#!/usr/bin/env python3
"""Draws the include graph between the program's libraries from the compiler's dependency files and
checks it: no include from a lower layer to a higher one, no cycle between libraries.

    tools/check-layers.py BUILD_DIR [--graph]

Layers, lowest first: pyrolink < board < Widgets-free cores < widget support < pages < window.
A header belongs to the library that compiles the source file of the same name; a header without
one belongs to the lowest library of its folder.
"""
import os
import re
import subprocess
import sys
from collections import defaultdict

LAYERS = [
    ("pyrolink", 0), ("hb_board", 1),
    ("hb_app", 2), ("hb_parameters", 2), ("hb_hwtest", 2), ("hb_monitor", 2), ("hb_graphs", 2), ("hb_admin", 2),
    ("hb_app_widgets", 3), ("hb_resources", 3),
    (re.compile(r"hb_\w+_page$"), 4),
    ("hb_window", 5), ("hearthbench", 5),
]
LAYER_NAMES = ["pyrolink", "board", "core", "widget support", "page", "window"]


def layer_of(target):
    for key, layer in LAYERS:
        if (isinstance(key, str) and key == target) or (not isinstance(key, str) and key.match(target)):
            return layer
    return None


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    build = os.path.abspath(sys.argv[1])
    source = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))
    # Each object's dependencies: from ninja's log, or from the .d files other generators keep.
    objects = defaultdict(set)  # target -> project files its objects include (transitively)
    sources = {}  # project source file -> target that compiles it

    def record(obj, deps):
        match = re.search(r"CMakeFiles/([\w.+-]+)\.dir/", obj)
        if not match or layer_of(match.group(1)) is None:
            return
        paths = [os.path.realpath(d if os.path.isabs(d) else os.path.join(build, d)) for d in deps]
        project = [p for p in paths if p.startswith(source + os.sep) and not p.startswith(build)]
        if project:
            sources[project[0]] = match.group(1)
            objects[match.group(1)].update(project[1:])

    if os.path.exists(os.path.join(build, "build.ninja")):
        dump = subprocess.run(["ninja", "-C", build, "-t", "deps"], capture_output=True, text=True).stdout
        for block in dump.split("\n\n"):
            lines = block.strip().splitlines()
            if lines and ": #deps" in lines[0]:
                record(lines[0].split(":")[0], [line.strip() for line in lines[1:]])
    else:
        for root, _, files in os.walk(build):
            for name in files:
                if name.endswith(".o.d"):
                    text = open(os.path.join(root, name), encoding="utf-8", errors="replace").read()
                    record(os.path.join(root, name), text.replace("\\\n", " ").split(":", 1)[1].split())
    if not objects:
        print(f"no dependency files of the program's libraries under {build}: build it first")
        return 2

    def owner(path):
        stem, _ = os.path.splitext(path)
        for candidate, target in sources.items():
            if os.path.splitext(candidate)[0] == stem:
                return target
        folder = os.path.dirname(path)
        in_folder = [t for s, t in sources.items() if os.path.dirname(s) == folder]
        return min(in_folder, key=layer_of) if in_folder else None

    edges = defaultdict(set)
    faults = []
    for target, files in objects.items():
        for path in files:
            other = owner(path)
            if other is None or other == target:
                continue
            edges[target].add(other)
            if layer_of(other) > layer_of(target):
                faults.append(f"{target} ({LAYER_NAMES[layer_of(target)]}) includes "
                              f"{os.path.relpath(path, source)} of {other} ({LAYER_NAMES[layer_of(other)]})")

    # Cycles between libraries.
    state = {}

    def visit(node, trail):
        state[node] = 1
        for nxt in sorted(edges[node]):
            if state.get(nxt) == 1:
                faults.append("cycle: " + " -> ".join(trail[trail.index(nxt):] + [nxt]) if nxt in trail
                              else f"cycle through {nxt}")
            elif nxt not in state:
                visit(nxt, trail + [nxt])
        state[node] = 2

    for node in sorted(edges):
        if node not in state:
            visit(node, [node])

    if "--graph" in sys.argv:
        for target in sorted(objects, key=lambda t: (-layer_of(t), t)):
            used = ", ".join(sorted(edges[target], key=lambda t: (-layer_of(t), t))) or "-"
            print(f"{LAYER_NAMES[layer_of(target)]:>14}  {target:<20} includes {used}")
    for fault in faults:
        print("layer fault:", fault)
    print(f"{len(objects)} libraries, {sum(len(e) for e in edges.values())} include edges, "
          f"{len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
