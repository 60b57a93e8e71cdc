#include <Lumo/Json/Error.h>

namespace Lumo {
namespace Json {

const char* ToString(Reason reason) {
  switch (reason) {
    case Reason::kMalformed:
      return "malformed";
    case Reason::kTooLarge:
      return "tooLarge";
    case Reason::kTooDeep:
      return "tooDeep";
    case Reason::kTooManyElements:
      return "tooManyElements";
    case Reason::kStringTooLong:
      return "stringTooLong";
    case Reason::kUnknownElement:
      return "unknownElement";
    case Reason::kUnknownType:
      return "unknownType";
    case Reason::kWrongType:
      return "wrongType";
    case Reason::kMissingProperty:
      return "missingProperty";
    case Reason::kDuplicateProperty:
      return "duplicateProperty";
    case Reason::kBadValue:
      return "badValue";
    case Reason::kVersion:
      return "version";
    case Reason::kNotSet:
      return "notSet";
  }
  return "unknown";
}

namespace {

std::string Describe(Reason reason, const std::string& path, const std::string& detail) {
  std::string text = ToString(reason);
  if (!path.empty()) text += " at " + path;
  return text + ": " + detail;
}

}  // namespace

Error::Error(Reason reason, std::string path, const std::string& detail)
    : std::runtime_error(Describe(reason, path, detail)), _reason(reason), _path(std::move(path)) {}

}  // namespace Json
}  // namespace Lumo
