"""Data object and fault classes: members, accessors and virtual operations.

The declaration header gets the class with the value-typed accessors defined
inline; the full header gets the inline definitions of the reference-held
accessors (they need the referenced classes); the package's classes unit gets
the constructors and the virtual operations.
"""

from . import doc_comments, names

# Accessor prefix of the getter: booleans read as Is<P>.
def _getter(kind, prop):
    return ("Is" if kind.primitive == "boolean" else "Get") + names.cap(prop.name)


def _flags_word(prop):
    return "%d" % prop.flags


class DataClassEmitter:
    def __init__(self, binding):
        self.b = binding

    # ------------------------------------------------------------------
    # Declaration header: the class body.
    # ------------------------------------------------------------------
    def class_head(self, decl):
        cls = decl.short_name
        base = self.b.base_class(decl)
        return "class %s : public %s" % (cls, base)

    def emit_class_body(self, p, decl, qualified_prefix=""):
        """Prints the body of the class (between the braces) into printer `p`."""
        cls = decl.short_name
        p.print(" public:")
        p.indent()
        if decl.kind == "fault":
            self._emit_exception_class(p, decl)
        p.print("$cls$();", cls=cls)
        p.print("~$cls$() override;", cls=cls)
        p.blank()
        p.print("Lumo::Type* _GetType() const override;")
        p.print("$cls$* _Clone() const override;", cls=cls)
        p.print("bool _IsEqual(const Lumo::Any* other, bool looseMatch = false) const override;")
        if decl.kind != "fault":
            p.print("void _DiffProperties(const Lumo::Any* other, const std::string& prefix,")
            p.print("                     Lumo::PropertyDiffSet& diffs) const override;")
        p.print("Lumo::DataObjectType* _GetDataType() const override;")
        if decl.kind == "fault":
            p.print("Exception* CreateException() override;")
        for index, prop in enumerate(decl.props):
            p.blank()
            self._emit_accessor_decls(p, decl, prop, index)
        p.outdent()
        p.blank()
        p.print(" protected:")
        p.indent()
        p.print("$cls$(const $cls$& other);", cls=cls)
        if decl.kind == "fault":
            p.print("[[noreturn]] void ThrowInternal() override;")
        if decl.props:
            p.blank()
            for prop in decl.props:
                kind = self.b.kind(prop.type)
                mutable = "mutable " if kind.is_array else ""
                init = "{}" if kind.name == "value" and kind.primitive != "string" else ""
                p.print("$mutable$$storage$ $member$$init$;", mutable=mutable,
                        storage=kind.storage, member=names.member(prop.name), init=init)
        p.outdent()

    def _assert(self, decl, full):
        return 'KESTRUM_ASSERT_AT(value != nullptr, "%s", __LINE__);' % self.b.assert_path(decl, full)

    def _emit_accessor_decls(self, p, decl, prop, index):
        for line in doc_comments.property_comment(prop):
            p.print(line)
        kind = self.b.kind(prop.type)
        P = names.cap(prop.name)
        m = names.member(prop.name)
        T = kind.cpp
        get = _getter(kind, prop)
        args = dict(P=P, m=m, T=T, get=get, i=index, check=self._assert(decl, False))
        if kind.name == "value" and kind.primitive == "string":
            p.print(
                """const std::string& Get$P$() const { return $m$; }
const std::string* Peek$P$() const { return &$m$; }
void Set$P$(const std::string& value) {
  Lumo::Validate<std::string>(&value, this, $i$);
  if (&value != &$m$) $m$ = value;
}
void Set$P$(const char* value) { $m$ = value; }
void Swap$P$(std::string* const value) {
  $check$
  Lumo::Validate<std::string>(value, this, $i$);
  $m$.swap(*value);
}""", **args)
        elif kind.name == "value":
            by = "%s " % T if kind.primitive in ("boolean", "int", "long", "double") else "const %s& " % T
            args["ret"] = by
            args["param"] = by
            p.print(
                """$ret$$get$() const { return $m$; }
const $T$* Peek$P$() const { return &$m$; }
void Set$P$($param$value) { $m$ = value; }
void Swap$P$($T$* const value) {
  $check$
  std::swap($m$, *value);
}""", **args)
        elif kind.name == "optional":
            validate = kind.primitive == "string"
            args["validate_set"] = (
                "if (value.IsSet()) Lumo::Validate<std::string>(&value.GetValue(), this, %d);\n  " % index
                if validate else "")
            args["validate_swap"] = (
                "if (value->IsSet()) Lumo::Validate<std::string>(&value->GetValue(), this, %d);\n  " % index
                if validate else "")
            args["copy"] = ("if (&value != &%s.GetValue()) value = %s.GetValue();" % (m, m) if validate
                            else "value = %s.GetValue();" % m)
            p.print(
                """const Kestrum::Optional<$T$>& $get$() const { return $m$; }
bool $get$($T$& value) const {
  if (!$m$.IsSet()) return false;
  $copy$
  return true;
}
const $T$* Peek$P$() const { return $m$.GetPtr(); }
void Set$P$(const Kestrum::Optional<$T$>& value) {
  $validate_set$if (&value != &$m$) $m$ = value;
}
void Swap$P$(Kestrum::Optional<$T$>* const value) {
  $check$
  $validate_swap$$m$.Swap(*value);
}
void Unset$P$() { $m$.Reset(); }""", **args)
        elif kind.name == "moref":
            p.print(
                """Lumo::MoRef* Get$P$() const;
const Lumo::MoRef* Peek$P$() const;
void Set$P$(Lumo::MoRef* value);
void Swap$P$(Kestrum::Ref<Lumo::MoRef>* const value);""", **args)
        elif kind.name == "object":
            p.print(
                """$T$* Get$P$();
const $T$* Get$P$() const;
const $T$* Peek$P$() const;
void Set$P$($T$* value);
void Swap$P$(Kestrum::Ref<$T$>* const value);""", **args)
        else:  # arrays
            p.print(
                """$T$* Get$P$();
const $T$* Get$P$() const;
$T$* GetPtr$P$();
const $T$* GetPtr$P$() const;
bool IsSet$P$() const;
const $T$* Peek$P$() const;
void Set$P$($T$* value);
void Swap$P$(Kestrum::Ref<$T$>* const value);""", **args)

    # ------------------------------------------------------------------
    # Full header: inline definitions of the reference-held accessors.
    # ------------------------------------------------------------------
    def emit_full_accessors(self, p, decl):
        cls = self.b.cpp_class(decl)
        for prop in decl.props:
            kind = self.b.kind(prop.type)
            if not kind.reference_held:
                continue
            args = dict(C=cls, P=names.cap(prop.name), m=names.member(prop.name), T=kind.cpp,
                        check=self._assert(decl, True))
            p.blank()
            if kind.name == "moref":
                p.print(
                    """inline Lumo::MoRef* $C$::Get$P$() const { return $m$.Get(); }
inline const Lumo::MoRef* $C$::Peek$P$() const { return $m$.Get(); }
inline void $C$::Set$P$(Lumo::MoRef* value) { $m$ = value; }
inline void $C$::Swap$P$(Kestrum::Ref<Lumo::MoRef>* const value) {
  $check$
  $m$.Swap(*value);
}""", **args)
            elif kind.name == "object":
                p.print(
                    """inline $T$* $C$::Get$P$() { return $m$.Get(); }
inline const $T$* $C$::Get$P$() const { return $m$.Get(); }
inline const $T$* $C$::Peek$P$() const { return $m$.Get(); }
inline void $C$::Set$P$($T$* value) { $m$ = value; }
inline void $C$::Swap$P$(Kestrum::Ref<$T$>* const value) {
  $check$
  $m$.Swap(*value);
}""", **args)
            else:
                p.print(
                    """inline $T$* $C$::Get$P$() { return Lumo::Binding::GetOrCreateArray($m$); }
inline const $T$* $C$::Get$P$() const { return Lumo::Binding::GetOrCreateArray($m$); }
inline $T$* $C$::GetPtr$P$() { return $m$.Get(); }
inline const $T$* $C$::GetPtr$P$() const { return $m$.Get(); }
inline bool $C$::IsSet$P$() const { return $m$ && $m$->_GetLength() > 0; }
inline const $T$* $C$::Peek$P$() const { return IsSet$P$() ? $m$.Get() : nullptr; }
inline void $C$::Set$P$($T$* value) { $m$ = value; }
inline void $C$::Swap$P$(Kestrum::Ref<$T$>* const value) {
  $check$
  $m$.Swap(*value);
}""", **args)

    # ------------------------------------------------------------------
    # Classes unit: constructors and virtual operations.
    # ------------------------------------------------------------------
    def emit_members(self, p, decl):
        cls = self.b.cpp_class(decl)
        short = decl.short_name
        base = self.b.base_class(decl)
        args = dict(C=cls, S=short, B=base)
        p.print("$C$::$S$() = default;", **args)
        p.blank()
        inits = ["%s(other)" % base]
        for prop in decl.props:
            kind = self.b.kind(prop.type)
            m = names.member(prop.name)
            if kind.reference_held:
                inits.append("%s(Lumo::Binding::CloneOf(other.%s))" % (m, m))
            else:
                inits.append("%s(other.%s)" % (m, m))
        p.print("$C$::$S$(const $S$& other)", **args)
        p.print("    : " + ",\n      ".join(inits) + " {}")
        p.blank()
        p.print("$C$::~$S$() = default;", **args)
        p.blank()
        p.print(
            """Lumo::Type* $C$::_GetType() const { return Lumo::GetDoType<$C$>(); }

Lumo::DataObjectType* $C$::_GetDataType() const { return Lumo::GetDoType<$C$>(); }

$C$* $C$::_Clone() const { return new $S$(*this); }""", **args)
        p.blank()
        self._emit_is_equal(p, decl)
        if decl.kind != "fault":
            p.blank()
            self._emit_diff(p, decl)
        if decl.kind == "fault":
            p.blank()
            p.print(
                """$C$::Exception* $C$::CreateException() { return new Exception(this); }

void $C$::ThrowInternal() { throw Exception(this); }""", **args)

    def _emit_is_equal(self, p, decl):
        cls = self.b.cpp_class(decl)
        parent_call = decl.base_decl is not None and decl.base != "olyx.DynamicData"
        if not decl.props:
            if parent_call:
                p.print("bool $C$::_IsEqual(const Lumo::Any* other, bool looseMatch) const {", C=cls)
                p.print("  return $B$::_IsEqual(other, looseMatch);", B=self.b.base_class(decl))
            else:
                p.print("bool $C$::_IsEqual(const Lumo::Any*, bool) const {", C=cls)
                p.print("  return true;")
            p.print("}")
            return
        p.print("bool $C$::_IsEqual(const Lumo::Any* other, bool looseMatch) const {", C=cls)
        p.indent()
        if parent_call:
            p.print("if (!$B$::_IsEqual(other, looseMatch)) return false;", B=self.b.base_class(decl))
        uses_loose = parent_call
        p.print("const auto* that = static_cast<const $C$*>(other);", C=cls)
        for prop in decl.props:
            kind = self.b.kind(prop.type)
            m = names.member(prop.name)
            if kind.reference_held:
                uses_loose = True
                p.print("if (!Lumo::AreEqualAnysInt($m$.Get(), that->$m$.Get(), $f$, looseMatch)) return false;",
                        m=m, f=_flags_word(prop))
            elif kind.name == "optional":
                uses_loose = True
                p.print("if (!Lumo::Binding::OptionalMatches($m$, that->$m$, looseMatch)) return false;", m=m)
            elif kind.primitive == "dateTime":
                p.print("if ($m$.GetUtcTime() != that->$m$.GetUtcTime()) return false;", m=m)
            else:
                p.print("if (!($m$ == that->$m$)) return false;", m=m)
        if not uses_loose:
            p.print("(void)looseMatch;")
        p.print("return true;")
        p.outdent()
        p.print("}")

    def _emit_diff(self, p, decl):
        cls = self.b.cpp_class(decl)
        parent_call = decl.base_decl is not None and decl.base != "olyx.DynamicData"
        if not decl.props:
            if parent_call:
                p.print("void $C$::_DiffProperties(const Lumo::Any* other, const std::string& prefix,", C=cls)
                p.print("                          Lumo::PropertyDiffSet& diffs) const {")
                p.print("  $B$::_DiffProperties(other, prefix, diffs);", B=self.b.base_class(decl))
            else:
                p.print("void $C$::_DiffProperties(const Lumo::Any*, const std::string&,", C=cls)
                p.print("                          Lumo::PropertyDiffSet&) const {")
            p.print("}")
            return
        p.print("void $C$::_DiffProperties(const Lumo::Any* other, const std::string& prefix,", C=cls)
        p.print("                          Lumo::PropertyDiffSet& diffs) const {")
        p.indent()
        if parent_call:
            p.print("$B$::_DiffProperties(other, prefix, diffs);", B=self.b.base_class(decl))
        p.print("const auto* that = static_cast<const $C$*>(other);", C=cls)
        for prop in decl.props:
            kind = self.b.kind(prop.type)
            m = names.member(prop.name)
            dot_name = names.c_string("." + prop.name)
            if kind.reference_held:
                p.print("Lumo::DiffAnyPropertiesInt($m$.Get(), that->$m$.Get(), prefix, $n$, $f$, diffs);",
                        m=m, n=dot_name, f=_flags_word(prop))
                continue
            if kind.name == "optional":
                differs = "Lumo::Binding::OptionalDiffers(%s, that->%s)" % (m, m)
            elif kind.primitive == "dateTime":
                differs = "%s.GetUtcTime() != that->%s.GetUtcTime()" % (m, m)
            else:
                differs = "!(%s == that->%s)" % (m, m)
            p.print("if ($d$) diffs.AddChanged(Lumo::PropertyPath(prefix + $n$));", d=differs, n=dot_name)
        p.outdent()
        p.print("}")

    # ------------------------------------------------------------------
    # Faults: the nested exception class.
    # ------------------------------------------------------------------
    def _exception_base(self, decl):
        if self.b.base_is_own(decl):
            return "%s::Exception" % self.b.base_class(decl)
        return "Lumo::MethodFault::Exception"

    def value_ctor_params(self, decl):
        """(C++ parameter, property) pairs of the value constructor, inherited first."""
        params = []
        for prop in self.b.all_props(decl):
            kind = self.b.kind(prop.type)
            ident = names.identifier(prop.name)
            if kind.name == "value":
                text = "const %s& %s" % (kind.cpp, ident) if kind.primitive in ("string", "dateTime", "typeName") \
                    else "%s %s" % (kind.cpp, ident)
            elif kind.name == "optional":
                text = "const Kestrum::Optional<%s>& %s" % (kind.cpp, ident)
            else:
                text = "%s* %s" % (kind.cpp, ident)
            params.append((text, prop))
        return params

    def _emit_exception_class(self, p, decl):
        cls = decl.short_name
        base = self._exception_base(decl)
        params = self.value_ctor_params(decl)
        for line in doc_comments.exception_comment(decl):
            p.print(line)
        p.print("class Exception : public $B$ {", B=base)
        p.print(" public:")
        p.indent()
        p.print("explicit Exception($S$* fault);", S=cls)
        if params:
            lead = "explicit " if len(params) == 1 else ""
            p.print("$lead$Exception($params$);", lead=lead, params=", ".join(t for t, _ in params))
        else:
            p.print("Exception();")
        p.print("Exception(const Exception& other);")
        p.print("~Exception() override;")
        p.print("Kestrum::Exception* Clone() const override;")
        p.print("[[noreturn]] void Throw() const override;")
        p.print("$S$* GetFault() const {", S=cls)
        p.indent()
        p.print("auto* fault = dynamic_cast<$S$*>(_fault.Get());", S=cls)
        p.print('KESTRUM_ASSERT_AT(fault != nullptr && static_cast<Lumo::MethodFault*>(fault) == _fault.Get(),')
        p.print('                  "$path$", __LINE__);', path=self.b.assert_path(decl, False))
        p.print("return fault;")
        p.outdent()
        p.print("}")
        p.outdent()
        p.blank()
        p.print(" protected:")
        p.print("  Exception(std::string&& message, Lumo::MethodFault* fault);")
        p.blank()
        p.print(" private:")
        p.print("  static Kestrum::Ref<$S$> MakeFault($params$);", S=cls,
                params=", ".join(t for t, _ in params))
        p.print("};")
        p.blank()

    def emit_exception_members(self, p, decl):
        cls = self.b.cpp_class(decl)
        short = decl.short_name
        base = self._exception_base(decl)
        params = self.value_ctor_params(decl)
        args = dict(C=cls, S=short, B=base)
        p.print(
            """$C$::Exception::Exception($S$* fault)
    : $B$(Lumo::MethodFault::Exception::FormatMessage(fault), fault) {}

$C$::Exception::Exception(std::string&& message, Lumo::MethodFault* fault)
    : $B$(std::move(message), fault) {}""", **args)
        p.blank()
        call_args = ", ".join(names.identifier(prop.name) for _, prop in params)
        p.print("$C$::Exception::Exception($params$)", C=cls, params=", ".join(t for t, _ in params))
        p.print("    : Exception(MakeFault($a$).Get()) {}", a=call_args)
        p.blank()
        p.print("Kestrum::Ref<$C$> $C$::Exception::MakeFault($params$) {", C=cls,
                params=", ".join(t for t, _ in params))
        p.indent()
        p.print("Kestrum::Ref<$C$> fault(new $C$());", C=cls)
        for _, prop in params:
            kind = self.b.kind(prop.type)
            # Stored directly: the value constructor copies without validation.
            p.print("fault->$m$ = $v$;", m=names.member(prop.name), v=names.identifier(prop.name))
        p.print("return fault;")
        p.outdent()
        p.print("}")
        p.blank()
        p.print(
            """$C$::Exception::Exception(const Exception& other) = default;

$C$::Exception::~Exception() = default;

Kestrum::Exception* $C$::Exception::Clone() const { return new Exception(*this); }

void $C$::Exception::Throw() const { throw Exception(*this); }""", **args)
