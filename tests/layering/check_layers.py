#!/usr/bin/env python3
"""Checks that each layer of the tree includes only the layers below it.

Usage: check_layers.py SOURCE_DIR

Every C++ file of a layer's own code (tests, benchmarks and fuzz targets are
left out: they may exercise a layer through the ones above it) is read for its
#include lines. A header is placed in the layer whose include/ folder holds it
(generated headers by their folder); an include of a header of a higher layer,
or of the same rank, is reported with its file and line. Exits 1 on any report.
"""
import pathlib
import re
import sys

# Bottom to top. A layer may include its own headers and those of lower ranks;
# layers of one rank (the two type libraries; the core and the programs' command
# line) may not include each other.
LAYERS = [
    ("kestrum", 0, "platform/kestrum"),
    ("command-line", 0, "platform/command-line"),
    ("on-demand", 0, "platform/on-demand"),
    ("lumo", 1, "platform/lumo"),
    ("lumo-wire", 2, "platform/lumo-wire"),
    ("lumo-json", 2, "platform/lumo-json"),
    ("hox-types", 3, "platform/hox-types"),
    ("zel-types", 3, "zel-types"),
    ("http", 4, "platform/http"),
    ("service", 5, "service"),
    ("server", 6, "server"),
    ("tools", 7, "tools"),
    ("examples", 8, "examples"),
]

# Headers generated into the build tree, by the folder includes name them with.
GENERATED_PREFIXES = [
    ("Lumo/", "lumo"),
    ("Hox/", "hox-types"),
    ("Olyx/Zel/", "zel-types"),
]

NOT_LAYER_CODE = {"tests", "bench", "fuzz", "golden"}
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]')


def layer_of_file(relative):
    best = None
    for name, rank, folder in LAYERS:
        if relative.parts[: len(pathlib.PurePath(folder).parts)] == pathlib.PurePath(folder).parts:
            if best is None or len(folder) > len(best[2]):
                best = (name, rank, folder)
    return best


def public_headers(root):
    """Maps each header below an include/ folder of the tree to the layer that holds it."""
    headers = {}
    for folder in root.rglob("include"):
        relative = folder.relative_to(root)
        if not folder.is_dir() or relative.parts[0] == "build":
            continue
        owner = layer_of_file(relative)
        for header in folder.rglob("*.h"):
            headers[header.relative_to(folder).as_posix()] = owner[0] if owner else "outside"
    return headers


def layer_of_include(header, headers):
    if header in headers:
        return headers[header]
    for prefix, name in GENERATED_PREFIXES:
        if header.startswith(prefix):
            return name
    return None


def main():
    if len(sys.argv) != 2:
        print("usage: check_layers.py SOURCE_DIR", file=sys.stderr)
        return 2
    root = pathlib.Path(sys.argv[1]).resolve()
    ranks = {name: rank for name, rank, _ in LAYERS}
    ranks["outside"] = len(LAYERS)
    headers = public_headers(root)
    problems = []
    checked = 0
    for path in sorted(root.rglob("*")):
        if path.suffix not in (".h", ".cpp", ".in") or not path.is_file():
            continue
        relative = path.relative_to(root)
        if relative.parts[0] == "build" or NOT_LAYER_CODE.intersection(relative.parts):
            continue
        owner = layer_of_file(relative)
        if owner is None:
            continue
        checked += 1
        name, rank, _ = owner
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            header = match.group(1)
            target = layer_of_include(header, headers)
            if target is None or target == name:
                continue
            if ranks[target] >= rank:
                problems.append(f"{relative}:{number}: the {name} layer includes <{header}> "
                                f"of the {target} layer, which is not below it")
    for problem in problems:
        print(problem)
    print(f"layering: {checked} files checked, {len(problems)} includes against the layering")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
