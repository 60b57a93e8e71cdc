"""Keeps the code blocks of docs/using.md equal to the regions of
UsingSnippets.cpp that the tests compile and run.

A region of the source starts at a line "// snippet: NAME" and ends at
"// end snippet"; the guide shows it after a line "<!-- snippet: NAME -->" as
the next ```cpp block, with the region's common indentation removed. Regions
of the same name make one block, in the order of the source, a blank line
apart: a snippet's includes at the top of the source, its code further down.

  python3 sync_guide.py GUIDE SOURCE           check: exit 1 naming every difference
  python3 sync_guide.py GUIDE SOURCE --write   rewrite the guide's blocks from the source
"""

import re
import sys
import textwrap

START = re.compile(r"^\s*// snippet: ([\w-]+)\s*$")
END = re.compile(r"^\s*// end snippet\s*$")
MARK = re.compile(r"^<!-- snippet: ([\w-]+) -->$")


def regions(source_text):
    found, name, lines = {}, None, []
    for line in source_text.splitlines():
        if name is None:
            match = START.match(line)
            if match:
                name, lines = match.group(1), []
        elif END.match(line):
            text = textwrap.dedent("\n".join(lines)).strip("\n")
            found[name] = found[name] + "\n\n" + text if name in found else text
            name = None
        else:
            lines.append(line)
    if name is not None:
        raise SystemExit("snippet %s has no end" % name)
    return found


def sync(guide_text, snippets):
    """(new guide text, names shown in the guide, names whose block differs)."""
    out, shown, differing = [], [], []
    lines = guide_text.splitlines()
    i = 0
    while i < len(lines):
        out.append(lines[i])
        match = MARK.match(lines[i])
        i += 1
        if not match:
            continue
        name = match.group(1)
        shown.append(name)
        if i >= len(lines) or lines[i] != "```cpp":
            raise SystemExit("guide: the snippet mark %s is not followed by a ```cpp block" % name)
        end = lines.index("```", i + 1)
        block = "\n".join(lines[i + 1:end])
        wanted = snippets.get(name)
        if wanted is None:
            raise SystemExit("guide: no snippet %s in the source" % name)
        if block != wanted:
            differing.append(name)
        out.append("```cpp")
        out.extend(wanted.splitlines())
        out.append("```")
        i = end + 1
    return "\n".join(out) + "\n", shown, differing


def main(argv):
    paths = [arg for arg in argv[1:] if not arg.startswith("--")]
    if "--help" in argv or len(paths) != 2:
        print(__doc__.strip())
        return 0 if "--help" in argv else 2
    guide_path, source_path = paths
    with open(source_path, encoding="utf-8") as source:
        snippets = regions(source.read())
    with open(guide_path, encoding="utf-8") as guide:
        text = guide.read()
    new_text, shown, differing = sync(text, snippets)
    missing = sorted(set(snippets) - set(shown))
    if "--write" in argv:
        with open(guide_path, "w", encoding="utf-8") as guide:
            guide.write(new_text)
        differing = []
    for name in differing:
        print("guide: the block of snippet %s differs from the source" % name)
    for name in missing:
        print("guide: snippet %s of the source is not shown" % name)
    if differing or missing:
        return 1
    print("guide: %d snippets, all as compiled" % len(shown))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
