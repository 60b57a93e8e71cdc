"""Managed object interfaces, client stubs and the server-side dispatch.

A method or property of a managed type becomes one pure virtual function of
the interface; the stub implements it by packing the arguments into runtime
values and calling the runtime, and adds an asynchronous overload. The record
function `invokeByIndex` is the mirror image on a local implementation.
"""

from dataclasses import dataclass
from typing import Optional

from . import doc_comments, names
from .binding import BindingError
from .model import RUNTIME_BASE_VERSION
from .records import TERMINATOR_FLAGS, c_string_or_null

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
    def result_form(self, result):
        """(return type, trailing out-parameter or None)."""
        if result is None:
            return "void", None
        return self.b.kind(result).result_form()

    def param_list(self, member):
        return ["%s %s" % (self.b.kind(p.type).parameter_type, names.parameter(p.name)) for p in member.params]

    def sync_signature(self, member):
        ret, out = self.result_form(member.result)
        params = self.param_list(member) + ([out] if out else [])
        return ret, "%s(%s)" % (member.name, ", ".join(params))

    def async_signature(self, member):
        params = self.param_list(member) + [COMPLETION, ITEM]
        return "%s(%s)" % (member.name, ", ".join(params))

    # ----- declaration header --------------------------------------------
    def interface_head(self, decl, head_name):
        return "class %s : public virtual %s" % (head_name, self.b.base_class(decl))

    def print_interface_body(self, p, decl, nested_forward):
        p.print(" public:")
        with p.indented(), p.variables(short=decl.short_name, base=self.b.base_class(decl)):
            for nested in nested_forward:
                p.print("class $nested$;", nested=nested.short_name)
            for method in decl.methods:
                p.print("static const char $constant$[];  ///< \"$name$\"", constant=names.method_constant(method.name),
                        name=method.qualified_name)
            if nested_forward or decl.methods:
                p.blank()
            p.print("""/// For implementations; the interface holds no state.
$short$() {}
/// For implementations; copies nothing.
$short$(const $short$&) : $base$() {}
/// Copies nothing.
$short$& operator=(const $short$&) { return *this; }
/// The object's type: this interface's record.
Lumo::ManagedObjectType* _GetType() const override;""")
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
                result, signature = self.sync_signature(member)
                p.print("virtual $result$ $signature$ = 0;", result=result, signature=signature)

    def _base_stub(self, decl):
        return self.b.base_class(decl) + "Stub" if self.b.base_is_own(decl) else "Lumo::StubImpl"

    def stub_head(self, decl):
        return "class %sStub : public virtual %s, public %s" % (decl.short_name, decl.short_name,
                                                               self._base_stub(decl))

    def print_stub_body(self, p, decl):
        p.print(" public:")
        with p.indented():
            p.print("""/// The stub of the object ref names; its calls go through adapter, with
/// context (may be null). It holds a reference to each.
$short$Stub(Lumo::MoRef* ref, Lumo::StubAdapter* adapter, Lumo::RequestContext* context);
/// Lets go of the reference, the adapter and the context.
~$short$Stub() override;""", short=decl.short_name)
            for member in self.members(decl):
                result, signature = self.sync_signature(member)
                p.blank()
                for line in doc_comments.stub_call_comment(decl, member.name, member.is_property):
                    p.print(line)
                p.print("$result$ $signature$ override;", result=result, signature=signature)
                for line in doc_comments.stub_start_comment():
                    p.print(line)
                p.print("void $signature$;", signature=self.async_signature(member))

    # ----- classes unit -----------------------------------------------------
    def print_members(self, p, decl):
        class_name = self.b.cpp_class(decl)
        with p.variables(class_name=class_name, short=decl.short_name, stub=class_name + "Stub",
                         base_stub=self._base_stub(decl), objects=names.method_objects_symbol(decl.name)):
            for method in decl.methods:
                p.print("const char $class_name$::$constant$[] = $text$;",
                        constant=names.method_constant(method.name), text=names.c_string(method.qualified_name))
            if decl.methods:
                p.blank()
            p.print("""Lumo::ManagedObjectType* $class_name$::_GetType() const { return Lumo::GetMoType<$class_name$>(); }

$stub$::$short$Stub(Lumo::MoRef* ref, Lumo::StubAdapter* adapter, Lumo::RequestContext* context)
    : $base_stub$(ref, adapter, context) {}

$stub$::~$short$Stub() = default;""")
            for member in self.members(decl):
                p.blank()
                self._print_sync(p, member)
                p.blank()
                self._print_async(p, member)

    def _print_packing(self, p, member):
        if not member.params:
            p.print("std::vector<Kestrum::Ref<Lumo::Any>> args;")
            return
        p.print("std::vector<Kestrum::Ref<Lumo::Any>> args($count$);", count=len(member.params))
        for k, param in enumerate(member.params):
            p.print("args[$position$] = $value$;", position=k,
                    value=self.b.kind(param.type).box(names.parameter(param.name)))

    def _print_sync(self, p, member):
        result, signature = self.sync_signature(member)
        p.print("$result$ $stub$::$signature$ {", result=result, signature=signature)
        with p.indented():
            self._print_packing(p, member)
            if member.result is None:
                p.print("_Invoke_Task($objects$[$slot$], args);", slot=member.slot)
            else:
                p.print("""Kestrum::Ref<Lumo::Any> value;
_Invoke_Task($objects$[$slot$], args, value);""", slot=member.slot)
                p.print(self.b.kind(member.result).unbox_result(result))
        p.print("}")

    def _print_async(self, p, member):
        p.print("void $stub$::$signature$ {", signature=self.async_signature(member))
        with p.indented():
            self._print_packing(p, member)
            p.print("_StartInvoke_Task($objects$[$slot$], args, completion, item);", slot=member.slot)
        p.print("}")

    # ----- description unit: records and dispatch ----------------------------
    def print_records(self, p, decl, records):
        symbol = names.joined(decl.name)
        # The dispatch names the unit's path itself when it is called with an unknown index.
        with p.variables(symbol=symbol, unit=names.c_string(decl.package.unit)):
            props = records.print_property_list(p, decl, symbol)
            methods = self._print_method_records(p, decl, symbol, records)
            p.blank()
            index_function = "nullptr"
            if decl.props:
                self._print_property_index(p, decl)
                index_function = "&%s_propertyIndex" % symbol
                p.blank()
            self._print_invoke(p, decl)
            p.blank()
            p.print("""Lumo::Stub* $symbol$_createStub(Lumo::MoRef* ref, Lumo::StubAdapter* adapter, Lumo::RequestContext* context) {
  return new (std::nothrow) $class_name$Stub(ref, adapter, context);
}""", class_name=self.b.cpp_class(decl))
            p.blank()
            parent, const = records.parent_pointer(decl, "k%sManaged" % symbol)
            p.print("""$const$Lumo::ManagedTypeInfo k$symbol$Managed = {
    &$record$, $parent$, $props$, $methods$,
    $index_function$, &$symbol$_invokeByIndex, &$symbol$_createStub, $objects$};""",
                    const=const, record=names.record_symbol(decl.name), parent=parent, props=props,
                    methods=methods, index_function=index_function,
                    objects=names.method_objects_symbol(decl.name))

    def _print_method_records(self, p, decl, symbol, records):
        """Each method's parameter and fault lists, then the MethodInfo rows; returns the rows' name."""
        rows = []
        for i, method in enumerate(decl.methods):
            method_symbol = "%s_%s" % (symbol, method.name)
            rows.append((method, self._print_parameter_list(p, method, method_symbol, records),
                         self._print_fault_list(p, method, method_symbol, records),
                         self._result_record(method, "k%sMethods[%d].result.type" % (symbol, i), records)))
        if not decl.methods:
            return "kNoMethods"
        p.print("$const$Lumo::MethodInfo k$symbol$Methods[] = {",
                const=records.constness(m.result.name for m in decl.methods if m.result is not None))
        with p.indented():
            for method, params, faults, result in rows:
                p.print("""{$name$, $wsdl$, $privilege$, nullptr,
 $result$,
 $params$, $faults$, 0x$flags$, $since$},""", name=c_string_or_null(method.name),
                        wsdl=c_string_or_null(method.wsdl), privilege=c_string_or_null(method.privilege),
                        result=result, params=params, faults=faults, flags="%x" % method.flags,
                        since=c_string_or_null(method.since))
            p.print("{},")
        p.print("};")
        return "k%sMethods" % symbol

    def _print_parameter_list(self, p, method, method_symbol, records):
        if not method.params:
            return "kNoParams"
        rows = []
        for k, param in enumerate(method.params):
            pointer = records.type_pointer(param.type.name, "k%sParams[%d].type" % (method_symbol, k))
            rows.append("{%s, nullptr, %s, 0x%x, %s}," % (c_string_or_null(param.name), pointer, param.flags,
                                                         c_string_or_null(param.since)))
        name = "k%sParams" % method_symbol
        records.print_terminated_list(p, "Lumo::ParamInfo", name, [param.type for param in method.params], rows,
                                      "{nullptr, nullptr, nullptr, %s, nullptr}," % TERMINATOR_FLAGS)
        return name

    def _print_fault_list(self, p, method, method_symbol, records):
        if not method.faults:
            return "kNoFaults"
        entries = [records.type_pointer(f, "k%sFaults[%d]" % (method_symbol, k)) for k, f in enumerate(method.faults)]
        p.print("const Lumo::TypeInfo*$const$ k$method_symbol$Faults[] = {$entries$, nullptr};",
                const="" if "nullptr" in entries else " const", method_symbol=method_symbol,
                entries=", ".join(entries))
        return "k%sFaults" % method_symbol

    def _result_record(self, method, field, records):
        """The ParamInfo of a method's result (a method without one names the runtime's base version)."""
        if method.result is None:
            return '{"result", nullptr, nullptr, 0x0, %s}' % c_string_or_null(RUNTIME_BASE_VERSION)
        pointer = records.type_pointer(method.result.name, field)
        return '{"result", nullptr, %s, 0x%x, %s}' % (pointer, method.result.flags,
                                                      c_string_or_null(self.b.lib.result_version(method)))

    def _print_property_index(self, p, decl):
        p.print("int $symbol$_propertyIndex(const char* name, size_t length) {")
        with p.indented():
            for j, prop in enumerate(decl.props):
                p.print("if (length == $length$ && std::memcmp(name, $text$, $length$) == 0) return $position$;",
                        length=len(prop.name.encode()), text=names.c_string(prop.name), position=j)
            p.print("return -1;")
        p.print("}")

    def _print_invoke(self, p, decl):
        class_name = self.b.cpp_class(decl)
        members = sorted(self.members(decl), key=lambda m: m.slot)
        p.print("""void $symbol$_invokeByIndex(Lumo::ManagedObject* object, int index, std::vector<Kestrum::Ref<Lumo::Any>>& args,
       Kestrum::Ref<Lumo::Any>& result) {""")
        with p.indented():
            p.print("""result.Reset();
$class_name$* self = Lumo::Binding::ImplementationAs<$class_name$>(object);""", class_name=class_name)
            if not members:
                p.print("""(void)self;
(void)index;
(void)args;
KESTRUM_NOT_REACHED_AT($unit$, __LINE__);""")
            else:
                if not any(member.params for member in members):
                    p.print("(void)args;")
                p.print("switch (index) {")
                for member in members:
                    p.print("  case $slot$: {", slot=member.slot)
                    with p.indented(2):
                        self._print_unpack_and_call(p, member)
                        p.print("return;")
                    p.print("  }")
                p.print("""  default:
    KESTRUM_NOT_REACHED_AT($unit$, __LINE__);
}""")
        p.print("}")

    def _print_unpack_and_call(self, p, member):
        arguments = []
        for k, param in enumerate(member.params):
            variable = "a%d" % k
            p.print(self.b.kind(param.type).unbox_argument(variable, k, names.c_string(param.name)))
            arguments.append(variable)
        if member.result is None:
            p.print("self->$function$($arguments$);", function=member.name, arguments=", ".join(arguments))
            return
        for line in self.b.kind(member.result).invoke_result(member.name, arguments):
            p.print(line)
