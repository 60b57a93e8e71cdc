"""The mini schema's output, checked in under `tests/golden/mini`: every change
to the generator shows as a diff of these files, and an unreviewed change fails.

After a deliberate change, rewrite the copy and review the diff:

    ZELGEN_UPDATE_GOLDEN=1 python3 -m unittest tests.test_golden
"""

import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from zelgen.generate import generate  # noqa: E402
from zelgen.parser import load_library  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
MINI = os.path.join(HERE, "mini")
GOLDEN = os.path.join(HERE, "golden", "mini")


def checked_in():
    """{relative path: text} of the golden copy."""
    files = {}
    for folder, _, names in os.walk(GOLDEN):
        for name in names:
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8", newline="") as f:
                files[os.path.relpath(path, GOLDEN).replace(os.sep, "/")] = f.read()
    return files


def rewrite(files):
    shutil.rmtree(GOLDEN, ignore_errors=True)
    for path, text in files.items():
        target = os.path.join(GOLDEN, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "w", encoding="utf-8", newline="\n") as out:
            out.write(text)


class GoldenMiniTest(unittest.TestCase):
    def test_regenerating_the_mini_schema_matches_the_checked_in_copy(self):
        files = generate(load_library(MINI))
        if os.environ.get("ZELGEN_UPDATE_GOLDEN") == "1":
            rewrite(files)
        golden = checked_in()
        self.assertEqual(sorted(files), sorted(golden), "the generated file list differs from the golden copy")
        for path in sorted(files):
            self.assertEqual(files[path], golden[path], "%s differs from tests/golden/mini/%s" % (path, path))


if __name__ == "__main__":
    unittest.main()
