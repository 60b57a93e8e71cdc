// The input of soapcpp2 for the peer server of the load comparison: the one
// call that answers the service's content, with the element names, the
// namespace (urn:zel, elements qualified, attributes not) and the SOAPAction
// zel-server uses, so that one request drives both servers.

/* clang-format off */
//gsoap zel service name: ZelPeer
//gsoap zel service style: document
//gsoap zel service encoding: literal
//gsoap zel service namespace: urn:zel
//gsoap zel schema namespace: urn:zel
//gsoap zel schema elementForm: qualified
//gsoap zel schema attributeForm: unqualified
//gsoap zel service method-action: ZelRetrieveServiceContent "urn:zel/6.7.2"
/* clang-format on */

// A reference to a managed object: its type as an attribute, its key as text.
class zel__ManagedObjectReference {
 public:
  std::string __item;
  @std::string type;
};

class zel__AboutInfo {
 public:
  std::string name;
  std::string version;
  std::string instanceUuid;
};

class zel__ServiceContent {
 public:
  zel__AboutInfo aboutInfo;
  zel__ManagedObjectReference sessionManager;
  zel__ManagedObjectReference capabilityMetadataManager;
  zel__ManagedObjectReference profileManager;
  zel__ManagedObjectReference complianceManager;
  zel__ManagedObjectReference placementSolver;
  zel__ManagedObjectReference replicationManager;
};

class zel__ZelRetrieveServiceContentResponse {
 public:
  zel__ServiceContent returnval;
};

// The request's one part is the reference to the service instance; its type
// attribute is read past.
int zel__ZelRetrieveServiceContent(std::string _USCOREthis,
                                   zel__ZelRetrieveServiceContentResponse& result);
