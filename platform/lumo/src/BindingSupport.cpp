#include <Lumo/BindingSupport.h>

namespace Lumo {
namespace Binding {

void ThrowMissingResult(const std::type_info& expected) {
  Kestrum::ThrowTypeMismatchException(expected, typeid(std::nullptr_t));
}

void ThrowMissingArgument(const char* parameter) {
  throw Fault::InvalidArgument::Exception(Kestrum::Optional<std::string>(parameter));
}

}  // namespace Binding
}  // namespace Lumo
