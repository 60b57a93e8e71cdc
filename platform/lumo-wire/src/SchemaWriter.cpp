#include "SchemaWriter.h"

#include <Lumo/Wire/WireFormatFault.h>

#include <string>
#include <unordered_set>

#include "FaultElement.h"

namespace Lumo {
namespace Wire {
namespace Detail {

namespace {

constexpr const char* kMoRefName = "ManagedObjectReference";
constexpr const char* kTypeNameName = "TypeName";
constexpr const char* kRequestContext = "requestContext";

class SchemaOut {
 public:
  SchemaOut(const ApiModel& model, XmlDocWriter& out) : _model(model), _out(out) {}

  size_t Write() {
    const std::string& tns = _model.GetTargetNamespace();
    _out.Open("xsd:schema", {{"xmlns:xsd", kXsdNamespace},
                             {"xmlns:tns", tns},
                             {"targetNamespace", tns},
                             {"elementFormDefault", "qualified"},
                             {"attributeFormDefault", "unqualified"}});
    WriteRuntimeTypes();
    for (const TypePlan* plan : _model.GetTypes()) {
      if (plan->enumType) WriteEnum(*plan);
      if (plan->data) WriteData(*plan);
      WriteArrayOf(*plan);
    }
    for (const TypePlan* plan : _model.GetTypes()) {
      if (plan->data && plan->type->IsFault()) {
        std::string element = FaultElementName(plan->xsiName);
        Element(element);
        _out.Empty("xsd:element", {{"name", element}, {"type", SchemaTypeOf(*plan)}});
      }
    }
    WriteRequestContext();
    for (const ApiOperation& op : _model.GetOperations()) WriteOperation(op);
    _out.Close();
    return _types.size();
  }

 private:
  // Every named type and global element once.
  void TypeName(const std::string& name) {
    CheckNcName(name, "type name");
    if (!_types.insert(name).second) {
      ThrowWireFault(Reason::kBadValue, name, "two schema types would have this name");
    }
  }
  void Element(const std::string& name) {
    CheckNcName(name, "element name");
    if (!_elements.insert(name).second) {
      ThrowWireFault(Reason::kBadValue, name, "two schema elements would have this name");
    }
  }

  void WriteRuntimeTypes() {
    // A reference: the object's id, the managed type's WSDL name in "type".
    TypeName(kMoRefName);
    _out.Open("xsd:complexType", {{"name", kMoRefName}});
    _out.Open("xsd:simpleContent");
    _out.Open("xsd:extension", {{"base", "xsd:string"}});
    _out.Empty("xsd:attribute", {{"name", "type"}, {"type", "xsd:string"}, {"use", "required"}});
    _out.Close();
    _out.Close();
    _out.Close();
    TypeName(kTypeNameName);
    _out.Open("xsd:simpleType", {{"name", kTypeNameName}});
    _out.Empty("xsd:restriction", {{"base", "xsd:string"}});
    _out.Close();
  }

  void WriteEnum(const TypePlan& plan) {
    TypeName(plan.xsiName);
    _out.Open("xsd:simpleType", {{"name", plan.xsiName}});
    _out.Open("xsd:restriction", {{"base", "xsd:string"}});
    for (int i = 0; i < plan.enumType->GetValueCount(); ++i) {
      _out.Empty("xsd:enumeration", {{"value", plan.enumType->ToWireString(i)}});
    }
    _out.Close();
    _out.Close();
  }

  void SlotElement(const Slot& slot) {
    CheckNcName(slot.name, "property or parameter name");
    if (slot.array) {
      _out.Empty("xsd:element", {{"name", slot.name},
                                 {"type", SchemaTypeOf(*slot.plan)},
                                 {"minOccurs", "0"},
                                 {"maxOccurs", "unbounded"}});
    } else if (slot.optional) {
      _out.Empty("xsd:element",
                 {{"name", slot.name}, {"type", SchemaTypeOf(*slot.plan)}, {"minOccurs", "0"}});
    } else {
      _out.Empty("xsd:element", {{"name", slot.name}, {"type", SchemaTypeOf(*slot.plan)}});
    }
  }

  void WriteData(const TypePlan& plan) {
    TypeName(plan.xsiName);
    _out.Open("xsd:complexType", {{"name", plan.xsiName}});
    const DataObjectType* base = plan.data->GetBase();
    const TypePlan* basePlan = base ? TypeTable::ForType(base) : nullptr;
    if (basePlan) {
      _out.Open("xsd:complexContent");
      _out.Open("xsd:extension", {{"base", SchemaTypeOf(*basePlan)}});
    }
    _out.Open("xsd:sequence");
    for (const Slot* slot : _model.OwnProperties(plan)) SlotElement(*slot);
    _out.Close();
    if (basePlan) {
      _out.Close();
      _out.Close();
    }
    _out.Close();
  }

  // The type of an anyType value holding an array: one element per item,
  // named after the item type.
  void WriteArrayOf(const TypePlan& plan) {
    if (plan.arrayXsiName.empty()) return;
    TypeName(plan.arrayXsiName);
    std::string item = plan.itemOpen.substr(1);
    CheckNcName(item, "array item name");
    _out.Open("xsd:complexType", {{"name", plan.arrayXsiName}});
    _out.Open("xsd:sequence");
    _out.Empty("xsd:element", {{"name", item},
                               {"type", SchemaTypeOf(plan)},
                               {"minOccurs", "0"},
                               {"maxOccurs", "unbounded"}});
    _out.Close();
    _out.Close();
  }

  void WriteRequestContext() {
    Element(kRequestContext);
    _out.Open("xsd:element", {{"name", kRequestContext}});
    _out.Open("xsd:complexType");
    _out.Open("xsd:sequence");
    _out.Open("xsd:element", {{"name", "entry"}, {"minOccurs", "0"}, {"maxOccurs", "unbounded"}});
    _out.Open("xsd:complexType");
    _out.Open("xsd:simpleContent");
    _out.Open("xsd:extension", {{"base", "xsd:string"}});
    _out.Empty("xsd:attribute", {{"name", "key"}, {"type", "xsd:string"}, {"use", "required"}});
    for (int i = 0; i < 5; ++i) _out.Close();
    // SOAP's own attributes of a header block (mustUnderstand, actor).
    _out.Empty("xsd:anyAttribute", {{"namespace", "##other"}, {"processContents", "lax"}});
    _out.Close();
    _out.Close();
  }

  void WriteOperation(const ApiOperation& op) {
    const MethodPlan& m = *op.method;
    Element(m.wsdl);
    _out.Open("xsd:element", {{"name", m.wsdl}});
    _out.Open("xsd:complexType");
    _out.Open("xsd:sequence");
    _out.Empty("xsd:element", {{"name", "_this"}, {"type", std::string("tns:") + kMoRefName}});
    for (const Slot* p : op.params) SlotElement(*p);
    _out.Close();
    _out.Close();
    _out.Close();
    Element(m.responseName);
    _out.Open("xsd:element", {{"name", m.responseName}});
    _out.Open("xsd:complexType");
    _out.Open("xsd:sequence");
    if (op.result) SlotElement(*op.result);
    _out.Close();
    _out.Close();
    _out.Close();
  }

  const ApiModel& _model;
  XmlDocWriter& _out;
  std::unordered_set<std::string> _types;
  std::unordered_set<std::string> _elements;
};

}  // namespace

std::string SchemaTypeOf(const TypePlan& plan) {
  if (plan.managed) return std::string("tns:") + kMoRefName;
  if (plan.xsiName.compare(0, 4, "xsd:") == 0) return plan.xsiName;
  return "tns:" + plan.xsiName;
}

size_t WriteSchema(const ApiModel& model, XmlDocWriter& out) {
  return SchemaOut(model, out).Write();
}

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
