"""Counts the exported symbols of the built library: type accessors, records,
method-object arrays and array instantiations. Usage: check_symbols.py LIB"""

import re
import subprocess
import sys

EXPECTED = {
    "GetDoType specialisations": (r"^Lumo::DataObjectType\* Lumo::GetDoType<Zel::", 112),
    "GetMoType specialisations": (r"^Lumo::ManagedObjectType\* Lumo::GetMoType<Zel::", 19),
    "GetEnumType specialisations": (r"^Lumo::EnumType\* Lumo::GetEnumType<Zel::", 18),
    "type records": (r"^gZel\w+TypeInfo$", 149),
    "method-object arrays": (r"^gZel\w+MethodObjects$", 19),
    "DataArray instantiations": (r"^vtable for Lumo::DataArray<", 116),
    "Array instantiations": (r"^vtable for Lumo::Array<", 19),
    "Primitive instantiations": (r"^vtable for Lumo::Primitive<", 19),
}


def main(library):
    listing = subprocess.run(["nm", "-DC", "--defined-only", library], check=True, capture_output=True,
                             text=True).stdout
    symbols = set()
    for line in listing.splitlines():
        parts = line.split(" ", 2)
        if len(parts) == 3:
            symbols.add(parts[2])
    failures = 0
    for label, (pattern, expected) in EXPECTED.items():
        found = sum(1 for s in symbols if re.search(pattern, s))
        status = "ok" if found == expected else "MISMATCH"
        failures += found != expected
        print("%-30s %4d (expected %d) %s" % (label, found, expected, status))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
