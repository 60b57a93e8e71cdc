"""What the records of one description unit share while it is printed: the
pointers to other records, and the stores that complete the pointers to
records of other libraries when the package registers.

A `UnitRecords` lives for one unit; the emitters keep no state between calls.
"""

from . import names

TERMINATOR_FLAGS = "0xffffffffu"


def c_string_or_null(text):
    return "nullptr" if text is None else names.c_string(text)


class UnitRecords:
    def __init__(self, binding, package):
        self.b = binding
        self.package = package
        self.stores = []  # (field expression, record symbol), in print order

    def type_pointer(self, type_name, field):
        """`&gRecord` for a record of this library; null plus a pending store for
        a record of another library (its address is known at load time only)."""
        if self.b.completed_at_load(type_name):
            self.stores.append((field, self.b.record(type_name)))
            return "nullptr"
        return "&" + self.b.record(type_name)

    def constness(self, type_names):
        """`const ` unless a pointer to another library's record is stored later."""
        return "" if any(self.b.completed_at_load(name) for name in type_names) else "const "

    def print_property_list(self, p, decl, symbol):
        """The PropInfo rows of `decl` ending in the terminator row; returns the list's name."""
        if not decl.props:
            return "kNoProps"
        rows = []
        for i, prop in enumerate(decl.props):
            pointer = self.type_pointer(prop.type.name, "k%sProps[%d].type" % (symbol, i))
            rows.append("{%s, %s, %s, %s, 0x%x, %s}," % (
                c_string_or_null(prop.name), c_string_or_null(prop.privilege), c_string_or_null(prop.annotation),
                pointer, prop.flags, c_string_or_null(prop.since)))
        name = "k%sProps" % symbol
        self.print_terminated_list(p, "Lumo::PropInfo", name, [prop.type for prop in decl.props], rows,
                                   "{nullptr, nullptr, nullptr, nullptr, %s, nullptr}," % TERMINATOR_FLAGS)
        return name

    def print_terminated_list(self, p, record_type, name, type_refs, rows, terminator):
        """A record array ending in its terminator row; writable when a row's type
        pointer is completed at load."""
        p.print("$const$$record_type$ $name$[] = {", const=self.constness(ref.name for ref in type_refs),
                record_type=record_type, name=name)
        with p.indented():
            for row in rows + [terminator]:
                p.print(row)
        p.print("};")

    def parent_pointer(self, decl, record):
        """The parent of a type record (`k<Symbol>Data.parent`, ...) and the record's constness."""
        parent = self.type_pointer(decl.base, "%s.parent" % record)
        return parent, ("" if parent == "nullptr" else "const ")
