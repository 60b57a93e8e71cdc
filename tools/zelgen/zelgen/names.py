"""Naming rules: how wire names become C++ names, symbols and paths."""

CPP_KEYWORDS = frozenset(
    """alignas alignof and and_eq asm auto bitand bitor bool break case catch char char8_t
    char16_t char32_t class compl concept const consteval constexpr constinit const_cast
    continue co_await co_return co_yield decltype default delete do double dynamic_cast else
    enum explicit export extern false float for friend goto if inline int long mutable
    namespace new noexcept not not_eq nullptr operator or or_eq private protected public
    register reinterpret_cast requires return short signed sizeof static static_assert
    static_cast struct switch template this thread_local throw true try typedef typeid
    typename union unsigned using virtual void volatile wchar_t while xor xor_eq""".split()
)

def cap(name):
    """`queryProfile` -> `QueryProfile`."""
    return name[:1].upper() + name[1:]


def components(wire_name):
    return wire_name.split(".")


def cpp_qualified(wire_name):
    """`zel.profile.CapabilityBasedProfile` -> `Zel::Profile::CapabilityBasedProfile`."""
    return "::".join(cap(c) for c in components(wire_name))


def joined(wire_name):
    """`zel.profile.ProfileManager` -> `ZelProfileProfileManager`."""
    return "".join(cap(c) for c in components(wire_name))


def record_symbol(wire_name):
    return "g%sTypeInfo" % joined(wire_name)


def method_objects_symbol(wire_name):
    return "g%sMethodObjects" % joined(wire_name)


def package_namespace(package_name):
    """`zel.profile.provider` -> `Zel::Profile::Provider`."""
    return cpp_qualified(package_name)


def package_dir(package_name):
    """`zel.profile.provider` -> `zel/profile/provider` (description unit folder)."""
    return "/".join(components(package_name))


def header_path(package_name):
    """`zel.profile.provider` -> `Zel/Profile/Provider` (below the header prefix)."""
    return "/".join(cap(c) for c in components(package_name))


def identifier(name):
    """A C++ identifier for a wire name that may be a keyword (`namespace`, `delete`)."""
    return name + "_" if name in CPP_KEYWORDS else name


# Names the generated member functions use for their own parameters.
RESERVED_PARAMETERS = frozenset(["result", "completion", "item"])


def parameter(name):
    """A C++ identifier for a method parameter: keywords and the generated
    parameters' own names get a trailing underscore."""
    return name + "_" if name in CPP_KEYWORDS or name in RESERVED_PARAMETERS else name


def member(name):
    """Storage member of a property; the suffix also keeps keywords out of the way."""
    return name + "_"


def enumerator(value):
    text = "".join(ch if ch.isalnum() or ch == "_" else "_" for ch in value)
    if not text or text[0].isdigit():
        text = "_" + text
    return identifier(text)


def enum_constant(enum_short_name, value):
    """`ObjectType`, `virtualDiskUUID` -> `OBJECTTYPE_VIRTUALDISKUUID`."""
    return "%s_%s" % (enum_short_name.upper(), value.upper())


def method_constant(method_name):
    return "METHOD_" + method_name.upper()


def c_string(text):
    """A C++ string literal for `text` (backslashes and quotes escaped)."""
    out = []
    for ch in text:
        if ch in "\\\"":
            out.append("\\" + ch)
        elif ch == "\n":
            out.append("\\n")
        elif ord(ch) < 0x20:
            out.append("\\%03o" % ord(ch))
        else:
            out.append(ch)
    return '"' + "".join(out) + '"'
