"""The short comments of the generated headers: one per class, property and
method, read by people and by Doxygen (`///`). They say what the records say:
the wire name, the WSDL name, the version in which a thing appeared, whether a
property is required or optional and, for methods, the privilege, the result
and the declared faults. A class's comment names the full header to include
(`@headerfile`: the class is declared in the `-decl.h` one); a property's
comment heads the member group of its accessors, whose own one-line comments
live in the templates of `kinds.py`; a stub's call has a comment per form.
"""

import textwrap

WIDTH = 96  # the header's column limit less the deepest indentation of a comment

KIND_WORDS = {
    "data": "Data object",
    "fault": "Fault",
    "enum": "Enumeration",
    "managed": "Managed object",
}


def _lines(text):
    return ["/// " + line for line in textwrap.wrap(text, WIDTH - 4, break_on_hyphens=False)]


def describe_type(ref):
    """`string`, `array of zel.profile.ProfileId`, `reference to zel.Task`."""
    name = "reference to managed object " + ref.name if ref.moref else ref.name
    return "array of " + name if ref.array else name


def type_comment(decl, short_class, header=None):
    """The comment of a type's class; `short_class` is its unqualified C++ name,
    `header` the header a program includes for it (named in the reference)."""
    text = "%s %s (wsdl name %s), since %s." % (KIND_WORDS[decl.kind], decl.name, decl.wsdl, decl.since)
    if decl.kind == "fault":
        text += " Thrown as %s::Exception; GetFault() of the exception gives the fault." % short_class
    elif decl.kind == "enum":
        text += " Each value's wire string is a constant of the same name in capitals."
    elif decl.kind == "managed":
        text += " Implementations derive from this interface; clients call it through %sStub." % short_class
    return _lines(text) + header_line(header)


def header_line(header):
    """Doxygen's include line for a class: the full header, not the declaration one."""
    return ["/// @headerfile %s <%s>" % (header, header)] if header else []


def stub_comment(decl, header=None):
    return _lines("Client stub of %s: each call goes through the stub adapter given at construction "
                  "(a remote call for a wire adapter); a fault comes back as its exception class."
                  % decl.name) + header_line(header)


def stub_call_comment(decl, member_name, is_property):
    what = "Reads the property" if is_property else "Makes the call"
    return _lines("%s through the adapter and waits for the answer (see %s::%s); a fault is "
                  "thrown as its exception class." % (what, decl.short_name, member_name))


def stub_start_comment():
    return _lines("The asynchronous form: returns at once. The adapter makes the call (those of "
                  "lumo-wire on a thread of the runtime's call pool, Lumo/CallPool.h), then runs "
                  "completion with the exception or the result (a runtime value, null when none); "
                  "item is done after that.")


def exception_comment(decl, header=None):
    return _lines("The exception that carries a %s fault: catch it by this class or by a base "
                  "fault's exception class." % decl.name) + header_line(header)


def property_comment(prop):
    presence = "optional" if prop.type.optional else "required"
    text = "Property %s: %s, %s, since %s." % (prop.name, describe_type(prop.type), presence, prop.since)
    if prop.privilege:
        text = text[:-1] + "; privilege %s." % prop.privilege
    return _lines(text)


# A property's accessors form a member group: the reference lists them under the
# property's name, after the property's comment.
GROUP_END = "/// @}"


def property_group_head(prop):
    return ["/// @name %s" % prop.name] + property_comment(prop) + ["/// @{"]


def method_comment(method):
    text = "Method %s (wsdl name %s), since %s; privilege %s." % (
        method.name, method.wsdl, method.since, method.privilege)
    if method.params:
        text += " Parameters: %s." % ", ".join(
            "%s (%s, %s)" % (p.name, describe_type(p.type), "optional" if p.type.optional else "required")
            for p in method.params)
    if method.result is None:
        text += " No result."
    else:
        text += " Result: %s%s." % (describe_type(method.result), ", optional" if method.result.optional else "")
    if method.faults:
        text += " Faults: %s." % ", ".join(method.faults)
    else:
        text += " Declares no fault."
    return _lines(text)
