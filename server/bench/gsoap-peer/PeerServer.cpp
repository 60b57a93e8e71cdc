// The peer of zel-server in the load comparison (server/bench/compare.sh): a
// stock gSOAP server for the one call that answers the service's content, in
// gSOAP's usual loop (bind, accept, copy the context, one thread per accepted
// connection) with connections kept alive.
//
//   zel-gsoap-peer PORT
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "ZelPeer.nsmap"
#include "soapH.h"

namespace {

void Fill(zel__ManagedObjectReference& reference, const char* type, const char* key) {
  reference.type = type;
  reference.__item = key;
}

// Serves one connection until the client closes it or stops keeping it alive.
void ServeConnection(soap* connection) {
  soap_serve(connection);
  soap_destroy(connection);
  soap_end(connection);
  soap_free(connection);
}

}  // namespace

int zel__ZelRetrieveServiceContent(soap*, std::string,
                                   zel__ZelRetrieveServiceContentResponse& result) {
  zel__ServiceContent& content = result.returnval;
  content.aboutInfo.name = "zel sample storage-policy service";
  content.aboutInfo.version = "1.0.0";
  content.aboutInfo.instanceUuid = "792c876d-b6d0-4b16-a334-9862db8009ef";
  Fill(content.sessionManager, "ZelSessionManager", "SessionManager");
  Fill(content.capabilityMetadataManager, "ZelCapabilityMetadataManager",
       "CapabilityMetadataManager");
  Fill(content.profileManager, "ZelProfileProfileManager", "ProfileManager");
  Fill(content.complianceManager, "ZelComplianceManager", "ComplianceManager");
  Fill(content.placementSolver, "ZelPlacementSolver", "PlacementSolver");
  Fill(content.replicationManager, "ZelReplicationManager", "ReplicationManager");
  return SOAP_OK;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zel-gsoap-peer PORT\n");
    return 2;
  }
  int port = std::atoi(argv[1]);
  soap listener;
  // Answers in the default namespace (xmlns="urn:zel"), as zel-server's do.
  soap_init2(&listener, SOAP_IO_KEEPALIVE, SOAP_IO_KEEPALIVE | SOAP_XML_DEFAULTNS);
  listener.bind_flags = SO_REUSEADDR;
  if (!soap_valid_socket(soap_bind(&listener, "127.0.0.1", port, 1024))) {
    soap_print_fault(&listener, stderr);
    return 1;
  }
  std::printf("zel-gsoap-peer: serving at http://127.0.0.1:%d/zel\n", port);
  std::fflush(stdout);
  for (;;) {
    if (!soap_valid_socket(soap_accept(&listener))) {
      soap_print_fault(&listener, stderr);
      continue;
    }
    soap* connection = soap_copy(&listener);
    if (!connection) continue;
    std::thread(ServeConnection, connection).detach();
  }
}
