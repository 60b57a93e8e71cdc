"""Faults: the exception class nested in every fault class, and the fault's
own virtual operations (a fault is a data object otherwise, see `emit_data.py`).

`Exception` carries the fault; its value constructor takes every property of
the fault, inherited ones first, and its base is the base fault's exception.
"""

from . import doc_comments, names


class FaultEmitter:
    def __init__(self, binding):
        self.b = binding

    def _exception_base(self, decl):
        """The base fault's exception: of an own base, of the runtime's root,
        or of another fault of the runtime (`olyx.fault.InvalidArgument`)."""
        return "%s::Exception" % self.b.base_class(decl)

    def value_constructor_parameters(self, decl):
        """(C++ parameter, property) pairs of the value constructor, inherited first."""
        return [("%s %s" % (self.b.kind(prop.type).parameter_type, names.identifier(prop.name)), prop)
                for prop in self.b.all_props(decl)]

    def _variables(self, decl):
        parameters = self.value_constructor_parameters(decl)
        return dict(short=self.b.class_short_name(decl), class_name=self.b.cpp_class(decl), base=self._exception_base(decl),
                    parameters=", ".join(text for text, _ in parameters))

    # ----- declaration header ------------------------------------------------
    def print_exception_class(self, p, decl):
        """The nested `Exception` class, first in the fault class's public part."""
        for line in doc_comments.exception_comment(decl, self.b.full_header(decl)):
            p.print(line)
        parameters = self.value_constructor_parameters(decl)
        if not parameters:
            value_constructor = "Exception();"
        elif len(parameters) == 1:
            value_constructor = "explicit Exception($parameters$);"
        else:
            value_constructor = "Exception($parameters$);"
        value_comment = ("An exception that holds a new fault with these property values (stored unchecked)."
                         if parameters else "An exception that holds a new fault.")
        with p.variables(**self._variables(decl)):
            p.print("""class Exception : public $base$ {
 public:
  /// An exception that holds fault (not null), with a message made from it.
  explicit Exception($short$* fault);
  /// """ + value_comment + """
  """ + value_constructor + """
  /// Holds the same fault as other.
  Exception(const Exception& other);
  /// Lets go of the fault.
  ~Exception() override;
  /// A new heap copy, holding the same fault; the caller owns it.
  Kestrum::Exception* Clone() const override;
  /// Throws a copy of this exception, of this class.
  [[noreturn]] void Throw() const override;
  /// The fault, never null; the exception keeps it.
  $short$* GetFault() const {
    auto* fault = dynamic_cast<$short$*>(_fault.Get());
    KESTRUM_ASSERT_AT(fault != nullptr && static_cast<Lumo::MethodFault*>(fault) == _fault.Get(),
                      "$path$", __LINE__);
    return fault;
  }

 protected:
  /// For the exceptions of derived faults: message and fault as given.
  Exception(std::string&& message, Lumo::MethodFault* fault);

 private:
  static Kestrum::Ref<$short$> MakeFault($parameters$);
};
""", path=self.b.assert_path(decl, False))

    # ----- classes unit ------------------------------------------------------
    def print_fault_members(self, p):
        """A fault's own virtual operations, within the data members' variables."""
        p.print("""$class_name$::Exception* $class_name$::CreateException() { return new Exception(this); }

void $class_name$::ThrowInternal() { throw Exception(this); }""")

    def print_exception_members(self, p, decl):
        parameters = self.value_constructor_parameters(decl)

        def stores():
            # Stored directly: the value constructor copies without validation.
            for _, prop in parameters:
                p.print("fault->$member$ = $value$;", member=names.member(prop.name), value=names.identifier(prop.name))

        with p.variables(**self._variables(decl)):
            p.print("""$class_name$::Exception::Exception($short$* fault)
    : $base$(Lumo::MethodFault::Exception::FormatMessage(fault), fault) {}

$class_name$::Exception::Exception(std::string&& message, Lumo::MethodFault* fault)
    : $base$(std::move(message), fault) {}

$class_name$::Exception::Exception($parameters$)
    : Exception(MakeFault($arguments$).Get()) {}

Kestrum::Ref<$class_name$> $class_name$::Exception::MakeFault($parameters$) {
  Kestrum::Ref<$class_name$> fault(new $class_name$());
  $stores$
  return fault;
}

$class_name$::Exception::Exception(const Exception& other) = default;

$class_name$::Exception::~Exception() = default;

Kestrum::Exception* $class_name$::Exception::Clone() const { return new Exception(*this); }

void $class_name$::Exception::Throw() const { throw Exception(*this); }""",
                    arguments=", ".join(names.identifier(prop.name) for _, prop in parameters), stores=stores)
