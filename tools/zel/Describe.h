// zel types and zel describe: what the description records say.
#pragma once

#include <ostream>
#include <string>

namespace ZelCli {

// Lists the types whose wire or WSDL name matches a shell pattern ("*" for
// all), one line each: kind, wire name, WSDL name, version. Returns the
// number listed.
int ListTypes(const std::string& pattern, std::ostream& out);

// Describes a type (by wire or WSDL name) or a method ("TYPE.method", where
// TYPE may be a managed type's last name part, or a method name alone when
// only one type has it). False, with why in error, for an unknown name.
bool Describe(const std::string& name, std::ostream& out, std::string& error);

}  // namespace ZelCli
