// zel template: a filled-in skeleton of a method's arguments, as the
// key-path assignments `zel call` takes, with placeholder values by type.
#pragma once

#include <ostream>
#include <string>

namespace ZelCli {

// Writes the assignments of every parameter of the method (any of its
// names, as zel describe takes them): data objects opened down to depth
// levels below the parameter, array elements as [0], a comment on optional
// values and on the subtypes a value may be. False, with why in error, for an
// unknown method.
bool WriteTemplate(const std::string& methodName, int depth, std::ostream& out, std::string& error);

}  // namespace ZelCli
