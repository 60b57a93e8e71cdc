// The arguments of `zel call`, given as NAME=VALUE assignments, made into the
// XML of a request that the runtime's codec then reads (and checks) against
// the method's records.
//
// Syntax of one assignment (see README.md):
//   param=text                 a string, number, boolean, enumeration value,
//                              or the id of a managed object ("Type:id" to name
//                              another type than the declared one)
//   param.prop.sub=text        a property of a data object, at any depth
//   param.list[0].prop=text    an array element by index; list[]=text appends
//   param@type=NAME            the value's actual type (wire or WSDL name;
//                              xsd:string, xsd:int... for anyType values)
//   param=<xml>...</xml>       the element's content as XML, as it stands on
//                              the wire (its type then comes from @type or the
//                              declaration)
//   param=@FILE                the value (text or XML) read from FILE
#pragma once

#include <Lumo/Lumo.h>

#include <string>
#include <vector>

namespace ZelCli {

// Larger argument files are refused.
inline constexpr size_t kMaxArgumentFileBytes = 16 * 1024 * 1024;

// The SOAP request of method on the object (typeWsdl, id) with the given
// assignments. Throws std::invalid_argument, saying which assignment and why,
// for an assignment that names no parameter or property, or that does not
// fit the declared type.
// ns is the namespace of the method's API (the codec's action up to its "/").
std::string BuildRequest(const Lumo::ManagedMethod& method, const Lumo::ManagedObjectType& target,
                         const std::string& id, const std::vector<std::string>& assignments,
                         const std::string& ns);

}  // namespace ZelCli
