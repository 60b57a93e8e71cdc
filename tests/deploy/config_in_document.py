"""The HAProxy configuration docs/deploy.md shows is the file the deployment
test runs HAProxy with, docs/deploy/haproxy.cfg, to the byte.

usage: config_in_document.py DOCUMENT CONFIG
"""

import difflib
import re
import sys


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as document:
        blocks = re.findall(r"^```haproxy\n(.*?)^```$", document.read(), re.S | re.M)
    with open(sys.argv[2], encoding="utf-8") as config:
        tested = config.read()
    if len(blocks) != 1:
        sys.exit("%s shows %d haproxy blocks; one is expected" % (sys.argv[1], len(blocks)))
    if blocks[0] != tested:
        sys.stdout.writelines(difflib.unified_diff(
            tested.splitlines(True), blocks[0].splitlines(True), sys.argv[2], sys.argv[1]))
        sys.exit("the document's configuration is not the tested file")
    print("the document shows the tested configuration")


if __name__ == "__main__":
    main()
