// The reasons of olyx.fault.WireFormat and the one way the wire throws it. The
// fault's class, record and loader are generated (schema/).
#include <Lumo/Validate.h>
#include <Lumo/Wire/WireFormatFault.h>

namespace Lumo {
namespace Wire {

namespace {

const char* const kReasonStrings[] = {
    "malformed",         "doctype",        "tooLarge",        "tooDeep",        "tooManyElements",
    "stringTooLong",     "unknownElement", "unknownType",     "wrongType",      "missingProperty",
    "duplicateProperty", "badValue",       "version",         "notSet",         "unknownObject",
    "unknownMethod",     "transport",      "versionMismatch", "mustUnderstand",
};

// Text for a fault's strings: what Validate<std::string> would refuse becomes
// '?', so that composing a fault about bad input never fails itself.
std::string Printable(const std::string& text) {
  std::string out = text;
  for (;;) {
    size_t bad = FindInvalidXmlText(out);
    if (bad == std::string::npos) return out;
    out[bad] = '?';
  }
}

}  // namespace

const char* ToWireString(Reason reason) {
  auto index = static_cast<size_t>(reason);
  if (index >= sizeof kReasonStrings / sizeof kReasonStrings[0]) return "malformed";
  return kReasonStrings[index];
}

void ThrowWireFault(Reason reason, const std::string& path, const std::string& detail) {
  auto fault = Kestrum::MakeRef<WireFormatFault>();
  fault->SetReason(Kestrum::Optional<std::string>(ToWireString(reason)));
  fault->SetInvalidProperty(Kestrum::Optional<std::string>(Printable(path)));
  std::string message = ToWireString(reason);
  if (!path.empty()) message += " at " + path;
  if (!detail.empty()) message += ": " + detail;
  fault->SetMsg(Printable(message));
  throw WireFormatFault::Exception(fault.Get());
}

}  // namespace Wire
}  // namespace Lumo
