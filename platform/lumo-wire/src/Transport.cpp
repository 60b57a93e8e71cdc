#include <Lumo/Wire/Dispatcher.h>
#include <Lumo/Wire/Transport.h>

#include <cctype>

namespace Lumo {
namespace Wire {

const std::string* FindHeader(const Headers& headers, const std::string& name) {
  for (const auto& [key, value] : headers) {
    if (key.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < key.size() && same; ++i) {
      same = std::tolower(static_cast<unsigned char>(key[i])) ==
             std::tolower(static_cast<unsigned char>(name[i]));
    }
    if (same) return &value;
  }
  return nullptr;
}

Transport::~Transport() = default;

LoopbackTransport::LoopbackTransport(Dispatcher* dispatcher) : _dispatcher(dispatcher) {}
LoopbackTransport::~LoopbackTransport() = default;

void LoopbackTransport::Send(const TransportRequest& request, TransportResponse& response) {
  if (!_dispatcher) ThrowWireFault(Reason::kTransport, "", "no dispatcher behind the loopback");
  _dispatcher->Handle(request, response);
}

}  // namespace Wire
}  // namespace Lumo
