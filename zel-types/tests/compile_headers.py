"""Compiles every generated header on its own (-fsyntax-only), proving that
each header includes what it needs. Usage:
compile_headers.py CXX HEADER_ROOT [-I... and other flags]"""

import concurrent.futures
import os
import shutil
import subprocess
import sys
import tempfile


def main(argv):
    cxx, root, flags = argv[0], argv[1], argv[2:]
    headers = sorted(os.path.join(d, f) for d, _, files in os.walk(root) for f in files if f.endswith(".h"))
    if not headers:
        print("no headers under %s" % root)
        return 1

    def check(header):
        # A unit that includes only this header, as a user's source would.
        cmd = [cxx, "-std=c++20", "-fsyntax-only", "-Wall", "-Wextra", "-Werror", "-x", "c++"] + flags + ["-"]
        unit = '#include "%s"\n' % header
        result = subprocess.run(cmd, input=unit, capture_output=True, text=True)
        return header, result.returncode, result.stderr

    # Every generated header starts with the runtime's binding support; it is
    # precompiled once so that each check parses only the generated code.
    scratch = tempfile.mkdtemp(prefix="zel-headers-")
    prefix = os.path.join(scratch, "prefix.h")
    with open(prefix, "w") as out:
        out.write("#include <Lumo/BindingSupport.h>\n")
    base = [cxx, "-std=c++20", "-Wall", "-Wextra", "-Werror"] + flags
    subprocess.run(base + ["-x", "c++-header", prefix, "-o", prefix + ".gch"], check=True)
    flags = flags + ["-include", prefix]

    failures = 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        for header, status, errors in pool.map(check, headers):
            if status != 0:
                failures += 1
                print("FAILED %s\n%s" % (os.path.relpath(header, root), errors[:2000]))
    shutil.rmtree(scratch, ignore_errors=True)
    print("%d passed, %d failed" % (len(headers) - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
