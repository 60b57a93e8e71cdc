"""Command line: python3 -m zelgen --schema DIR --out DIR [--list] [--header-prefix P]

Generates the library's sources from the schema into DIR, rewriting a file only
when its content changes (so that an unchanged schema rebuilds nothing).
`--list` prints the paths that would be written, one per line, and writes nothing.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

from .binding import BindingError
from .emit_headers import HeaderError
from .generate import generate
from .parser import load_library
from .validate import SchemaError


def main(argv=None):
    parser = argparse.ArgumentParser(prog="zelgen", description=__doc__.splitlines()[0])
    parser.add_argument("--schema", required=True, help="folder with library.zel and the package files")
    parser.add_argument("--out", help="output folder")
    parser.add_argument("--list", action="store_true", help="print the output paths and stop")
    parser.add_argument("--header-prefix", default="Olyx", help="folder above the package header folders")
    parser.add_argument("--clang-format", help="format the output with this clang-format binary")
    parser.add_argument("--style", default=os.path.join(os.path.dirname(__file__), "..", "..", "..", ".clang-format"),
                        help="the .clang-format file to format with")
    parser.add_argument("--print-root", action="store_true", help="print the include root folder and stop")
    args = parser.parse_args(argv)
    try:
        library = load_library(args.schema)
        files = generate(library, args.header_prefix)
    except (SchemaError, BindingError, HeaderError) as error:
        print("zelgen: %s" % error, file=sys.stderr)
        return 1
    if args.print_root:
        print(library.unit_root.replace("\\", "/"))
        return 0
    if args.list:
        for path in sorted(files):
            print(path)
        return 0
    if not args.out:
        parser.error("--out is required unless --list is given")
    if args.clang_format:
        files = format_all(files, args.clang_format, args.style)
    for path, text in sorted(files.items()):
        target = os.path.join(args.out, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        try:
            with open(target, encoding="utf-8") as existing:
                if existing.read() == text:
                    continue
        except FileNotFoundError:
            pass
        with open(target, "w", encoding="utf-8", newline="\n") as out:
            out.write(text)
    return 0


def format_all(files, clang_format, style):
    """Formats every file in one clang-format run over a scratch copy."""
    with tempfile.TemporaryDirectory() as scratch:
        shutil.copyfile(style, os.path.join(scratch, ".clang-format"))
        paths = []
        for index, (path, text) in enumerate(sorted(files.items())):
            local = os.path.join(scratch, "%04d%s" % (index, os.path.splitext(path)[1]))
            with open(local, "w", encoding="utf-8") as out:
                out.write(text)
            paths.append((path, local))
        subprocess.run([clang_format, "-i", "--style=file"] + [local for _, local in paths], check=True,
                       cwd=scratch)
        formatted = {}
        for path, local in paths:
            with open(local, encoding="utf-8") as result:
                formatted[path] = result.read()
        return formatted


if __name__ == "__main__":
    sys.exit(main())
