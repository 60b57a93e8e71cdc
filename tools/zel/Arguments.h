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
//   param=@FILE                the value (text or XML) read from FILE; @-
//                              reads standard input
//
// Beside them, a request body may give parameters as XML, the elements the
// method's element holds on the wire (<createSpec>...</createSpec>...),
// alone or inside the method's element (<ZelCreate>...</ZelCreate>).
#pragma once

#include <Lumo/Lumo.h>

#include <string>
#include <vector>

#include "Input.h"

namespace ZelCli {

// What a request is made of: assignments and, optionally, a body.
struct RequestArguments {
  std::vector<std::string> assignments;
  std::string bodyXml;  // empty: no body
};

// The SOAP request of method on the object (typeWsdl, id) with the given
// arguments; @FILE and @- values are read through files. Throws
// std::invalid_argument, saying which assignment and why, for an assignment
// that names no parameter or property, or that does not fit the declared
// type, for a body that is not XML or names no parameter, and for a
// parameter given both ways.
// ns is the namespace of the method's API (the codec's action up to its "/").
std::string BuildRequest(const Lumo::ManagedMethod& method, const Lumo::ManagedObjectType& target,
                         const std::string& id, const RequestArguments& arguments,
                         const std::string& ns, InputFiles& files);

}  // namespace ZelCli
