// zel types and zel describe: what the description records say.
#pragma once

#include <ostream>
#include <string>

namespace ZelCli {

// Lists the types whose wire or WSDL name matches a shell pattern ("*" for
// all), one line each: kind, wire name, WSDL name, version. Returns the
// number listed.
int ListTypes(const std::string& pattern, std::ostream& out);

// Describes a type (by wire or WSDL name, or the last part of its wire name)
// or a method ("TYPE.method", where TYPE may be a managed type's last name
// part, or a method name alone when only one type has it). depth: the levels
// of data object types shown inside one another (1: the properties or
// parameters alone). False, with why in error, for an unknown name.
bool Describe(const std::string& name, int depth, std::ostream& out, std::string& error);

}  // namespace ZelCli
