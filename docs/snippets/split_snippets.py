"""Writes each snippet of UsingSnippets.cpp as a source file of its own, with
only the headers the guide shows for it, so that compiling the files proves
that every block names the headers it needs.

  python3 split_snippets.py SOURCE FOLDER

A snippet's regions are its headers (at the top of the source) and its code.
The file of snippet NAME (FOLDER/NAME.cpp) holds the headers of the first
snippet, then those of the snippets it builds on and its own, then one
function with the code of those snippets and its own. A snippet builds on the
one that defines a name it uses (the transport, the service stub, the session
manager stub), as a reader who follows the guide has them. A file is written
only when its text changes. Prints the files, separated by semicolons.
"""

import os
import re
import sys

START = re.compile(r"^\s*// snippet: ([\w-]+)\s*$")
END = re.compile(r"^\s*// end snippet\s*$")
# The names later blocks use, and the snippet that defines each.
SHARED = {"http": "transport", "service": "stubs", "sessions": "login"}
FIRST = "start-up"
HEADER_LINE = re.compile(r"^\s*(#|using\s|//|$)")
STRING_OR_COMMENT = re.compile(r'"(?:\\.|[^"\\])*"|//[^\n]*')


def parts(source_text):
    """{name: [region text, ...]} in the order of the source, and the names in order."""
    found, order, name, lines = {}, [], None, []
    for line in source_text.splitlines():
        if name is None:
            match = START.match(line)
            if match:
                name, lines = match.group(1), []
        elif END.match(line):
            if name not in found:
                order.append(name)
            found.setdefault(name, []).append("\n".join(lines))
            name = None
        else:
            lines.append(line)
    if name is not None:
        raise SystemExit("snippet %s has no end" % name)
    return found, order


def split(regions):
    """(headers, code) of a snippet: regions of headers only, and the others."""
    headers = [r for r in regions if all(HEADER_LINE.match(line) for line in r.splitlines())]
    code = [r for r in regions if r not in headers]
    return "\n".join(headers), "\n".join(code)


def builds_on(name, code, order):
    """The snippets whose names the code uses, with those they build on, in source order."""
    used = set(re.findall(r"\b\w+\b", STRING_OR_COMMENT.sub(" ", code)))
    wanted = {SHARED[word] for word in used if word in SHARED and SHARED[word] != name}
    return [other for other in order if other in wanted]


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip())
        return 2
    source_path, folder = argv[1], argv[2]
    with open(source_path, encoding="utf-8") as source:
        found, order = parts(source.read())
    for shared, defining in SHARED.items():
        if defining not in found:
            raise SystemExit("no snippet %s, which defines %s" % (defining, shared))
    snippets = {name: split(found[name]) for name in order}
    closure = {}
    for name in order:  # a snippet builds only on snippets before it
        direct = builds_on(name, snippets[name][1], order)
        missing = [other for other in direct if other not in closure]
        if missing:
            raise SystemExit("snippet %s uses %s, defined after it" % (name, ", ".join(missing)))
        every = set(direct)
        for other in direct:
            every.update(closure[other])
        closure[name] = [other for other in order if other in every]
    os.makedirs(folder, exist_ok=True)
    written = []
    for name in order:
        if name == FIRST:
            continue
        chain = closure[name] + [name]
        text = "// The snippet %s of the guide with only the headers it shows (made by\n" % name
        text += "// split_snippets.py from UsingSnippets.cpp; do not edit).\n"
        text += snippets[FIRST][0] + "\n"
        text += "\n".join(snippets[other][0] for other in chain) + "\n\n"
        text += "void Snippet_%s() {\n" % re.sub(r"\W", "_", name)
        text += "\n".join(snippets[other][1] for other in chain) + "\n}\n"
        path = os.path.join(folder, name + ".cpp")
        old = None
        if os.path.exists(path):
            with open(path, encoding="utf-8") as existing:
                old = existing.read()
        if old != text:
            with open(path, "w", encoding="utf-8") as out:
                out.write(text)
        written.append(path)
    print(";".join(written), end="")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
