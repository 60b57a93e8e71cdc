"""Checks the API reference that the target "docs" makes, with Doxygen.

  python3 check_reference.py DOXYGEN DOXYFILE GENERATED-ROOT...

Runs Doxygen with the project's configuration (DOXYFILE, written by CMake) into
a folder of its own, this time warning about undocumented members and writing
XML, and fails naming what is wrong:
- a member of a generated header (below a GENERATED-ROOT) without a comment;
- a class whose reference names a declaration header (-decl.h) as the one to
  include, instead of the full header;
- a page of the reference that is missing: the design notes, the READMEs, the
  example program;
- a page whose title shows markup as text (Doxygen does not format a title).
"""

import glob
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

# Pages by the file name patterns of their XML (a page's name follows its path).
PAGES = {
    "md_*design.xml": "the design notes",
    "example_programs.xml": "the examples page",
    "hello-client_2main_8cpp-example.xml": "the example hello-client/main.cpp",
}


def run_doxygen(doxygen, doxyfile, folder):
    settings = os.path.join(folder, "Doxyfile")
    warnings = os.path.join(folder, "warnings.log")
    with open(settings, "w", encoding="utf-8") as out:
        out.write("@INCLUDE = %s\n" % doxyfile)
        out.write("OUTPUT_DIRECTORY = %s\n" % folder)
        for line in ("EXTRACT_ALL = NO", "WARNINGS = YES", "WARN_IF_UNDOCUMENTED = YES",
                     "GENERATE_HTML = NO", "GENERATE_XML = YES", "QUIET = YES"):
            out.write(line + "\n")
        out.write("WARN_LOGFILE = %s\n" % warnings)
    subprocess.run([doxygen, settings], check=True, cwd=folder, stdout=subprocess.DEVNULL)
    with open(warnings, encoding="utf-8", errors="replace") as log:
        return log.read().splitlines()


def undocumented(warnings, roots):
    return sorted({line for line in warnings if "is not documented" in line
                   and any(line.startswith(root) for root in roots)})


def declaration_includes(xml_folder):
    found = []
    for path in glob.glob(os.path.join(xml_folder, "class*.xml")):
        compound = ET.parse(path).getroot().find("compounddef")
        for include in compound.findall("includes"):
            if (include.text or "").endswith("-decl.h"):
                found.append("%s: %s" % (compound.findtext("compoundname"), include.text))
    return sorted(found)


def titles_with_markup(xml_folder):
    found = []
    for path in glob.glob(os.path.join(xml_folder, "md_*.xml")):
        compound = ET.parse(path).getroot().find("compounddef")
        title = compound.findtext("title") or ""
        if any(mark in title for mark in ("<", ">", "`")):
            found.append("%s: %s" % (compound.findtext("compoundname"), title))
    return sorted(found)


def main(argv):
    if len(argv) < 4:
        print(__doc__.strip())
        return 2
    doxygen, doxyfile, roots = argv[1], argv[2], [os.path.join(root, "") for root in argv[3:]]
    with tempfile.TemporaryDirectory(prefix="zel-reference-") as folder:
        warnings = run_doxygen(doxygen, doxyfile, folder)
        faults = ["undocumented: " + line for line in undocumented(warnings, roots)]
        xml_folder = os.path.join(folder, "xml")
        faults += ["names a declaration header: " + line for line in declaration_includes(xml_folder)]
        faults += ["page title with markup: " + line for line in titles_with_markup(xml_folder)]
        faults += ["missing page: " + what for pattern, what in PAGES.items()
                   if not glob.glob(os.path.join(xml_folder, pattern))]
        pages = glob.glob(os.path.join(xml_folder, "md_*README.xml"))
        if len(pages) < 2:
            faults.append("missing pages: the READMEs (%d found)" % len(pages))
    for fault in faults:
        print(fault)
    if faults:
        print("reference: %d faults" % len(faults))
        return 1
    print("reference: every generated member documented, full headers named, all pages present")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
