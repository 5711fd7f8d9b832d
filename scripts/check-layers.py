#!/usr/bin/env python3
"""Checks that the include lines of src/ and tools/ follow the layers (the ctest `Layers`).

    scripts/check-layers.py [REPO]      exit status 0 when all is well, 1 with a line per fault

Every source file sits in a folder that tells what it may include:

    src/xbase/                the engine: only itself
    src/core/<feature>/       the core: the engine and any core folder
    src/pdf/                  the PDF printer and CUPS printing (no widgets): the core and the engine
    src/printing/             the Qt printer (print support): the PDF layer, the core and the engine
    src/gui/<feature>/        the windows: everything below; within gui/, a feature folder uses
                              common/ (the widget kit) and the feature folders named for it in
                              GUI_FEATURE_USES, common/ uses no feature, shell/ uses them all
    src/app/                  the executable: anything under src/
    tools/<tool>/             the command-line programs: the PDF layer, the core and the engine,
                              never the Qt printer (they run without widgets and print support)

The check fails on an include of a higher layer or of a feature folder not named for it, on a
cycle among the folders (whatever the layers allow), on an include under src/ not spelled from
src/ ("core/labels/LabelGen.h"), and on a source file outside these folders or named other than
after its class (CamelCase, no "U" or "Ui" suffix; src/app/main.cpp is the one exception).
"""
import os
import re
import sys

LAYER_USES = {
    "xbase": set(),
    "core": {"xbase"},
    "pdf": {"core", "xbase"},
    "printing": {"pdf", "core", "xbase"},
    "gui": {"printing", "pdf", "core", "xbase"},
    "app": {"gui", "printing", "pdf", "core", "xbase"},
    "tools": {"pdf", "core", "xbase"},
}
LAYERS_WITH_FEATURES = {"core", "gui", "tools"}

# Feature folders of the windows that open the windows of another feature.
GUI_FEATURE_USES = {
    # the page starts the label and the reminder runs
    "occasions": {"labels", "reminders"},
    # the page's buttons open the stock, calibration, import, export and backup windows
    "setup": {"labels", "import", "backup"},
    # the label run for birthdays and anniversaries asks for the span in the date span dialog
    "labels": {"reminders"},
}

SOURCE = (".h", ".cpp")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
FILE_NAME = re.compile(r"^[A-Z][A-Za-z0-9]*\.(h|cpp)$")


def unit_of(path):
    """(layer, feature) of a file under src/ or tools/, or None when it sits in no layer folder."""
    parts = path.split("/")
    if parts[0] == "src" and len(parts) >= 3:
        layer = parts[1]
        if layer not in LAYER_USES or layer == "tools":
            return None
        if layer in LAYERS_WITH_FEATURES:
            return (layer, parts[2]) if len(parts) == 4 else None
        return (layer, "") if len(parts) == 3 else None
    if parts[0] == "tools" and len(parts) >= 3:
        return ("tools", parts[1])
    return None


def name(unit):
    layer, feature = unit
    return layer + ("/" + feature if feature else "")


def allowed(src, dst):
    """None when `src` may include `dst`, else the reason it may not."""
    if src == dst:
        return None
    (sl, sf), (dl, df) = src, dst
    if sl != dl:
        return None if dl in LAYER_USES[sl] else f"{dl} is not below {sl}"
    if sl == "gui":
        if sf == "shell" or df == "common" and sf != "common":
            return None
        if sf == "common":
            return "the widget kit (gui/common) uses no feature's windows"
        if df in GUI_FEATURE_USES.get(sf, set()):
            return None
        return f"gui/{sf} does not use the windows of gui/{df} (GUI_FEATURE_USES)"
    if sl == "tools":
        return "one tool does not include another's files"
    return None


def cycles(edges):
    """The strongly connected components of more than one node (Tarjan)."""
    index, low, on_stack, stack, found = {}, {}, set(), [], []
    nodes = sorted(set(edges) | {d for ds in edges.values() for d in ds})

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on_stack.add(v)
        for w in sorted(edges.get(v, ())):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            comp = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                comp.append(w)
                if w == v:
                    break
            if len(comp) > 1:
                found.append(sorted(comp))

    sys.setrecursionlimit(10000)
    for v in nodes:
        if v not in index:
            visit(v)
    return found


def shortest_loop(edges, comp):
    """The shortest path from a member of `comp` back to itself: [a, b, ..., a]."""
    best = None
    members = set(comp)
    for start in comp:
        paths, seen = [[start]], {start}
        while paths:
            nxt = []
            for p in paths:
                for w in sorted(edges.get(p[-1], ())):
                    if w == start and (best is None or len(p) + 1 < len(best)):
                        best = p + [start]
                    if w in members and w not in seen:
                        seen.add(w)
                        nxt.append(p + [w])
            paths = nxt
    return best


def main():
    repo = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    os.chdir(repo)
    faults = []

    declared = {("gui", f): {("gui", d) for d in ds} for f, ds in GUI_FEATURE_USES.items()}
    for comp in cycles(declared):
        faults.append("GUI_FEATURE_USES: the declared feature folders form a cycle: " +
                      " -> ".join(name(u) for u in comp))

    files = []
    for top in ("src", "tools"):
        for d, dirs, names in os.walk(top):
            dirs.sort()
            for n in sorted(names):
                if n.endswith(SOURCE):
                    files.append(os.path.join(d, n))
    known = set(files)

    edges, why = {}, {}
    for path in files:
        unit = unit_of(path)
        base = os.path.basename(path)
        if unit is None:
            faults.append(f"{path}: not in a layer folder (src/xbase, src/core/<feature>, src/pdf, "
                          "src/printing, src/gui/<feature>, src/app, tools/<tool>)")
            continue
        if path.startswith("src/") and path != "src/app/main.cpp" and (
                not FILE_NAME.match(base) or re.search(r"(U|Ui)\.(h|cpp)$", base)):
            faults.append(f"{path}: file names under src/ are the class's name in CamelCase "
                          "without a U or Ui suffix")
        with open(path, encoding="utf-8", errors="replace") as fh:
            for ln, line in enumerate(fh, 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                inc = m.group(1)
                beside = os.path.normpath(os.path.join(os.path.dirname(path), inc))
                from_src = os.path.normpath(os.path.join("src", inc))
                if from_src in known:
                    target = from_src
                elif beside in known:
                    target = beside
                    if target.startswith("src/"):
                        faults.append(f"{path}:{ln}: \"{inc}\": spell includes under src/ from "
                                      f"src/, \"{target[4:]}\"")
                else:
                    continue  # a system, Qt or generated header
                dst = unit_of(target)
                if dst is None or dst == unit:
                    continue
                reason = allowed(unit, dst)
                if reason:
                    faults.append(f"{path}:{ln}: includes \"{inc}\": {reason}")
                edges.setdefault(unit, set()).add(dst)
                why.setdefault((unit, dst), f"{path}:{ln}")

    for comp in cycles(edges):
        loop = shortest_loop(edges, comp)
        links = [f"{name(a)} -> {name(b)} ({why[(a, b)]})" for a, b in zip(loop, loop[1:])]
        faults.append("folders include each other in a cycle: " + "; ".join(links))

    for f in faults:
        print(f)
    if faults:
        print(f"check-layers: {len(faults)} fault(s)")
        return 1
    print(f"check-layers: {len(files)} files, {sum(len(v) for v in edges.values())} folder "
          "dependencies, no fault")
    return 0


if __name__ == "__main__":
    sys.exit(main())
