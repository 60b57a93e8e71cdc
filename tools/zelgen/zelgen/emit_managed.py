"""Managed object interfaces, client stubs and the server-side dispatch.

A method or property of a managed type becomes one pure virtual function of
the interface; the stub implements it by packing the arguments into runtime
values and calling the runtime, and adds an asynchronous overload. The record
function `invokeByIndex` is the mirror image on a local implementation.
"""

from dataclasses import dataclass
from typing import List, Optional

from . import doc_comments, names
from .binding import BindingError

COMPLETION = "const Lumo::CompletionFunctor& completion"
ITEM = "Kestrum::Ref<Kestrum::System::ScheduledItem>& item"


@dataclass
class Member:
    """One interface function: a method, or the getter of a property."""

    name: str  # C++ member name
    params: list  # schema Params (empty for a property getter)
    result: Optional[object]  # TypeRef or None
    slot: int  # index into the method-object array and invokeByIndex
    is_property: bool


class ManagedEmitter:
    def __init__(self, binding):
        self.b = binding

    def members(self, decl):
        """Interface functions in virtual-slot order: property getters, then methods."""
        m = len(decl.methods)
        out = [Member("Get" + names.cap(p.name), [], p.type, m + j, True) for j, p in enumerate(decl.props)]
        out += [Member(names.cap(x.name), x.params, x.result, i, False) for i, x in enumerate(decl.methods)]
        for member in out:
            if member.name in (decl.short_name, decl.short_name + "Stub"):
                raise BindingError("%s: member %s would be a constructor of its class" % (decl.name, member.name))
        return out

    # ----- signatures -----------------------------------------------------
    def param_type(self, param):
        kind = self.b.kind(param.type)
        if kind.name == "value":
            if kind.primitive in ("string", "dateTime", "typeName"):
                return "const %s&" % kind.cpp
            return kind.cpp
        if kind.name == "optional":
            return "const Kestrum::Optional<%s>&" % kind.cpp
        return "%s*" % kind.cpp

    def result_form(self, result):
        """(return type, trailing out-parameter or None)."""
        if result is None:
            return "void", None
        kind = self.b.kind(result)
        if kind.name == "value":
            return kind.cpp, None
        if kind.name == "optional":
            return "Kestrum::Optional<%s>" % kind.cpp, None
        return "void", "Kestrum::Ref<%s>& result" % kind.cpp

    def param_list(self, member):
        return ["%s %s" % (self.param_type(p), names.parameter(p.name)) for p in member.params]

    def sync_signature(self, member):
        ret, out = self.result_form(member.result)
        params = self.param_list(member) + ([out] if out else [])
        return ret, "%s(%s)" % (member.name, ", ".join(params))

    def async_signature(self, member):
        params = self.param_list(member) + [COMPLETION, ITEM]
        return "%s(%s)" % (member.name, ", ".join(params))

    # ----- declaration header --------------------------------------------
    def interface_head(self, decl):
        base = self.b.base_class(decl)
        return "class %s : public virtual %s" % (decl.short_name, base)

    def emit_interface_body(self, p, decl, nested_forward):
        cls = decl.short_name
        base = self.b.base_class(decl)
        p.print(" public:")
        p.indent()
        for nested in nested_forward:
            p.print("class $n$;", n=nested.short_name)
        for method in decl.methods:
            p.print("static const char $c$[];", c=names.method_constant(method.name))
        if nested_forward or decl.methods:
            p.blank()
        p.print("$S$() {}", S=cls)
        p.print("$S$(const $S$&) : $B$() {}", S=cls, B=base)
        p.print("$S$& operator=(const $S$&) { return *this; }", S=cls)
        p.print("Lumo::ManagedObjectType* _GetType() const override;")
        members = self.members(decl)
        if members:
            p.blank()
        for member in members:
            if member.is_property:
                comment = doc_comments.property_comment(decl.props[member.slot - len(decl.methods)])
            else:
                comment = doc_comments.method_comment(decl.methods[member.slot])
            for line in comment:
                p.print(line)
            ret, sig = self.sync_signature(member)
            p.print("virtual $r$ $s$ = 0;", r=ret, s=sig)
        p.outdent()

    def stub_head(self, decl):
        cls = decl.short_name
        if self.b.base_is_own(decl):
            base_stub = self.b.base_class(decl) + "Stub"
        else:
            base_stub = "Lumo::StubImpl"
        return "class %sStub : public virtual %s, public %s" % (cls, cls, base_stub)

    def emit_stub_body(self, p, decl):
        cls = decl.short_name
        p.print(" public:")
        p.indent()
        p.print("$S$Stub(Lumo::MoRef* ref, Lumo::StubAdapter* adapter, Lumo::RequestContext* context);", S=cls)
        p.print("~$S$Stub() override;", S=cls)
        for member in self.members(decl):
            ret, sig = self.sync_signature(member)
            p.blank()
            p.print("$r$ $s$ override;", r=ret, s=sig)
            p.print("void $s$;", s=self.async_signature(member))
        p.outdent()

    # ----- classes unit -----------------------------------------------------
    def emit_members(self, p, decl):
        cls = self.b.cpp_class(decl)
        short = decl.short_name
        stub = cls + "Stub"
        base_stub = self.b.base_class(decl) + "Stub" if self.b.base_is_own(decl) else "Lumo::StubImpl"
        for method in decl.methods:
            p.print("const char $C$::$c$[] = $v$;", C=cls, c=names.method_constant(method.name),
                    v=names.c_string(method.qualified_name))
        if decl.methods:
            p.blank()
        p.print("Lumo::ManagedObjectType* $C$::_GetType() const { return Lumo::GetMoType<$C$>(); }", C=cls)
        p.blank()
        p.print("$T$::$S$Stub(Lumo::MoRef* ref, Lumo::StubAdapter* adapter, Lumo::RequestContext* context)",
                T=stub, S=short)
        p.print("    : $B$(ref, adapter, context) {}", B=base_stub)
        p.blank()
        p.print("$T$::~$S$Stub() = default;", T=stub, S=short)
        objects = names.method_objects_symbol(decl.name)
        for member in self.members(decl):
            p.blank()
            self._emit_sync(p, decl, stub, member, objects)
            p.blank()
            self._emit_async(p, stub, member, objects)

    def _emit_packing(self, p, member):
        if not member.params:
            p.print("std::vector<Kestrum::Ref<Lumo::Any>> args;")
            return
        p.print("std::vector<Kestrum::Ref<Lumo::Any>> args($n$);", n=len(member.params))
        for k, param in enumerate(member.params):
            kind = self.b.kind(param.type)
            ident = names.parameter(param.name)
            if kind.name == "value" and kind.primitive == "string":
                value = "Lumo::Binding::BoxString(%s)" % ident
            elif kind.name == "optional" and kind.primitive == "string":
                value = "Lumo::Binding::BoxOptionalString(%s)" % ident
            elif kind.name == "value" and kind.primitive == "boolean":
                value = "Lumo::BoxBool(%s)" % ident
            elif kind.name == "optional" and kind.primitive == "boolean":
                value = "Lumo::Binding::BoxOptionalBool(%s)" % ident
            elif kind.name in ("value", "optional"):
                value = "Lumo::Binding::Box(%s)" % ident
            else:
                value = ident
            p.print("args[$k$] = $v$;", k=k, v=value)

    def _emit_sync(self, p, decl, stub, member, objects):
        ret, sig = self.sync_signature(member)
        p.print("$r$ $T$::$s$ {", r=ret, T=stub, s=sig)
        p.indent()
        self._emit_packing(p, member)
        method = "%s[%d]" % (objects, member.slot)
        if member.result is None:
            p.print("_Invoke_Task($m$, args);", m=method)
        else:
            p.print("Kestrum::Ref<Lumo::Any> value;")
            p.print("_Invoke_Task($m$, args, value);", m=method)
            kind = self.b.kind(member.result)
            if kind.name == "value" and kind.primitive == "string":
                p.print("return Lumo::Binding::StringResult(value);")
            elif kind.name == "optional" and kind.primitive == "string":
                p.print("return Lumo::Binding::OptionalStringResult(value);")
            elif kind.name == "value" and kind.primitive == "boolean":
                p.print("return Lumo::Binding::BoolResult(value);")
            elif kind.name in ("value", "optional"):
                p.print("return Lumo::Binding::ValueResult<$r$>(value);", r=ret)
            elif kind.is_array:
                p.print("result = Lumo::Binding::ArrayResult<$A$>(value);", A=kind.cpp)
            else:
                p.print("result = Lumo::Binding::CheckedCast<$T$>(value.Get());", T=kind.cpp)
        p.outdent()
        p.print("}")

    def _emit_async(self, p, stub, member, objects):
        p.print("void $T$::$s$ {", T=stub, s=self.async_signature(member))
        p.indent()
        self._emit_packing(p, member)
        p.print("_StartInvoke_Task($o$[$i$], args, completion, item);", o=objects, i=member.slot)
        p.outdent()
        p.print("}")

    # ----- description unit: dispatch ---------------------------------------
    def emit_property_index(self, p, decl, fn):
        p.print("int $fn$(const char* name, size_t length) {", fn=fn)
        p.indent()
        for j, prop in enumerate(decl.props):
            p.print('if (length == $n$ && std::memcmp(name, $s$, $n$) == 0) return $j$;',
                    n=len(prop.name.encode()), s=names.c_string(prop.name), j=j)
        p.print("return -1;")
        p.outdent()
        p.print("}")

    def emit_invoke(self, p, decl, fn, unit_path):
        cls = self.b.cpp_class(decl)
        members = sorted(self.members(decl), key=lambda m: m.slot)
        p.print("void $fn$(Lumo::ManagedObject* object, int index, std::vector<Kestrum::Ref<Lumo::Any>>& args,",
                fn=fn)
        p.print("       Kestrum::Ref<Lumo::Any>& result) {")
        p.indent()
        p.print("result.Reset();")
        p.print("$C$* self = Lumo::Binding::ImplementationAs<$C$>(object);", C=cls)
        if not members:
            p.print("(void)self;")
            p.print("(void)index;")
            p.print("(void)args;")
            p.print('KESTRUM_NOT_REACHED_AT($u$, __LINE__);', u=names.c_string(unit_path))
            p.outdent()
            p.print("}")
            return
        if not any(member.params for member in members):
            p.print("(void)args;")
        p.print("switch (index) {")
        for member in members:
            p.print("  case $i$: {", i=member.slot)
            p.indent()
            p.indent()
            self._emit_unpack_and_call(p, member)
            p.print("return;")
            p.outdent()
            p.outdent()
            p.print("  }")
        p.print("  default:")
        p.print('    KESTRUM_NOT_REACHED_AT($u$, __LINE__);', u=names.c_string(unit_path))
        p.print("}")
        p.outdent()
        p.print("}")

    def _emit_unpack_and_call(self, p, member):
        call_args = []
        for k, param in enumerate(member.params):
            kind = self.b.kind(param.type)
            ident = "a%d" % k
            pname = names.c_string(param.name)
            if kind.name == "value" and kind.primitive == "string":
                p.print("const std::string $v$ = Lumo::Binding::StringArgument(args, $k$, $n$);", v=ident, k=k, n=pname)
            elif kind.name == "optional" and kind.primitive == "string":
                p.print("const Kestrum::Optional<std::string> $v$ = Lumo::Binding::OptionalStringArgument(args, $k$);",
                        v=ident, k=k)
            elif kind.name == "value" and kind.primitive == "boolean":
                p.print("const bool $v$ = Lumo::Binding::BoolArgument(args, $k$, $n$);", v=ident, k=k, n=pname)
            elif kind.name == "optional" and kind.primitive == "boolean":
                p.print("const Kestrum::Optional<bool> $v$ = Lumo::Binding::OptionalBoolArgument(args, $k$);",
                        v=ident, k=k)
            elif kind.name == "value":
                p.print("const $T$ $v$ = Lumo::Binding::ValueArgument<$T$>(args, $k$, $n$);", T=kind.cpp, v=ident,
                        k=k, n=pname)
            elif kind.name == "optional":
                p.print("const Kestrum::Optional<$T$> $v$ = Lumo::Binding::OptionalValueArgument<$T$>(args, $k$);",
                        T=kind.cpp, v=ident, k=k)
            else:
                p.print("$T$* $v$ = Lumo::Binding::Argument<$T$>(args, $k$);", T=kind.cpp, v=ident, k=k)
            call_args.append(ident)
        if member.result is None:
            p.print("self->$f$($a$);", f=member.name, a=", ".join(call_args))
            return
        kind = self.b.kind(member.result)
        if kind.reference_held:
            p.print("Kestrum::Ref<$T$> value;", T=kind.cpp)
            p.print("self->$f$($a$);", f=member.name, a=", ".join(call_args + ["value"]))
            p.print("result = value.Get();")
        elif kind.name == "value" and kind.primitive == "string":
            p.print("result = Lumo::Binding::BoxString(self->$f$($a$));", f=member.name, a=", ".join(call_args))
        elif kind.name == "optional" and kind.primitive == "string":
            p.print("result = Lumo::Binding::BoxOptionalString(self->$f$($a$));", f=member.name,
                    a=", ".join(call_args))
        elif kind.name == "value" and kind.primitive == "boolean":
            p.print("result = Lumo::BoxBool(self->$f$($a$));", f=member.name, a=", ".join(call_args))
        else:
            p.print("result = Lumo::Binding::Box(self->$f$($a$));", f=member.name, a=", ".join(call_args))

    def emit_create_stub(self, p, decl, fn):
        p.print("Lumo::Stub* $fn$(Lumo::MoRef* ref, Lumo::StubAdapter* adapter, Lumo::RequestContext* context) {",
                fn=fn)
        p.print("  return new (std::nothrow) $C$Stub(ref, adapter, context);", C=self.b.cpp_class(decl))
        p.print("}")
