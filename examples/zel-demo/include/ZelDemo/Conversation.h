// The demo conversation: a client talks to the sample storage-policy service
// through the library's stubs, step by step, and checks every answer.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/MoRef.h>
#include <Lumo/Stub.h>
#include <Lumo/Wire/Transport.h>

#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

namespace ZelDemo {

struct ConversationOptions {
  // The API version spoken, by full name ("zel.version.version14").
  std::string version;
  std::string user = "alice@sample.test";
};

struct ConversationResult {
  int steps = 0;
  // The steps whose answer was not the expected one, by title.
  std::vector<std::string> failed;
  bool Succeeded() const { return steps > 0 && failed.empty(); }
};

// Runs the conversation through stubs on the adapter, starting at the
// service instance, and writes a readable transcript to out.
ConversationResult RunConversation(Lumo::StubAdapter* adapter, Lumo::MoRef* serviceInstance,
                                   const ConversationOptions& options, std::ostream& out);

// The reference of the sample service's instance.
Kestrum::Ref<Lumo::MoRef> ServiceInstanceRef();

// The version named by "version2", "zel.version.version2" or its id "2.0";
// empty when there is none.
std::string ResolveVersion(const std::string& text);
// The full names of the API's versions, oldest first, each with its id.
std::vector<std::pair<std::string, std::string>> KnownVersions();
// Why the conversation cannot be held in a version; empty when it can.
std::string CheckVersion(const std::string& version);
// The version the demo speaks by default: the newest numbered one.
std::string DefaultVersion();

// A transport that writes every request and response it carries, as
// indented XML, to a stream before handing it on.
class TracingTransport : public Lumo::Wire::Transport {
 public:
  TracingTransport(Lumo::Wire::Transport* inner, std::ostream& out);
  void Send(const Lumo::Wire::TransportRequest& request,
            Lumo::Wire::TransportResponse& response) override;

 protected:
  ~TracingTransport() override;

 private:
  Kestrum::Ref<Lumo::Wire::Transport> _inner;
  std::ostream& _out;
  std::mutex _mutex;
};

}  // namespace ZelDemo
