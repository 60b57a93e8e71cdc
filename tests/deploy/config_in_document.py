"""The HAProxy configurations docs/deploy.md shows are the files the
deployment tests run HAProxy with (docs/deploy/haproxy.cfg, ...), to the
byte: the document's haproxy blocks, in their order, are the files given.

usage: config_in_document.py DOCUMENT CONFIG...
"""

import difflib
import re
import sys


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    document, configs = sys.argv[1], sys.argv[2:]
    with open(document, encoding="utf-8") as text:
        blocks = re.findall(r"^```haproxy\n(.*?)^```$", text.read(), re.S | re.M)
    if len(blocks) != len(configs):
        sys.exit("%s shows %d haproxy blocks; %d are expected, one for each of %s"
                 % (document, len(blocks), len(configs), ", ".join(configs)))
    differ = []
    for number, (block, config) in enumerate(zip(blocks, configs), 1):
        with open(config, encoding="utf-8") as text:
            tested = text.read()
        if block != tested:
            sys.stdout.writelines(difflib.unified_diff(
                tested.splitlines(True), block.splitlines(True), config,
                "%s, haproxy block %d" % (document, number)))
            differ.append(config)
    if differ:
        sys.exit("the document's configuration is not the tested file: %s" % ", ".join(differ))
    print("the document shows the tested configuration")


if __name__ == "__main__":
    main()
