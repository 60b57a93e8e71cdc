// Writes a seed corpus for lumo-wire-fuzz into the directory given: a value,
// requests (with and without a request context), a result and a fault, each
// prefixed with the byte that makes the fuzz target read it as such.
#include <Lumo/Lumo.h>
#include <Lumo/Wire/Wire.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "../bench/ProfileDocument.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Lumo::Any;

void Save(const std::string& dir, const std::string& name, char kind, const std::string& bytes) {
  std::ofstream out(dir + "/" + name, std::ios::binary);
  out.put(kind);
  out << bytes;
  if (!out) std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name.c_str());
}

Ref<Any> New(const char* typeName) {
  auto* type = static_cast<Lumo::DataObjectType*>(Lumo::FindTypeByName(typeName));
  return Ref<Any>(type->CreateInstance());
}

void SetString(Any* object, const char* name, const std::string& value) {
  auto* type = static_cast<const Lumo::DynamicData*>(object)->_GetDataType();
  type->GetInfo()->setProperty(object, type->FindProperty(name), &value);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  Lumo::StartRuntime();
  Lumo::Wire::Codec codec;
  auto* manager =
      static_cast<Lumo::ManagedObjectType*>(Lumo::FindTypeByName("zel.profile.ProfileManager"));
  const Lumo::ManagedMethod* retrieve = manager->FindMethod("retrieveContent");
  Lumo::ManagedMethod* query = manager->FindMethod("queryProfile");
  auto target = MakeRef<Lumo::MoRef>(manager->GetName(), "ProfileManager");
  std::string bytes;

  Ref<Any> profiles = ProfileDocument::Build(2);
  codec.EncodeValue(profiles.Get(), bytes);
  Save(dir, "value-profiles", 0, bytes);
  Ref<Any> number = MakeRef<Lumo::Primitive<int64_t>>(int64_t{1} << 40);
  codec.EncodeValue(number.Get(), bytes);
  Save(dir, "value-long", 0, bytes);

  Ref<Any> resourceType = New("zel.profile.ResourceType");
  SetString(resourceType.Get(), "resourceType", "STORAGE");
  std::vector<Ref<Any>> args{resourceType, Ref<Any>(new Lumo::Primitive<std::string>("REQ"))};
  codec.EncodeRequest(query, target.Get(), args, bytes);
  Save(dir, "request-query", 1, bytes);
  auto context = MakeRef<Lumo::RequestContext>();
  context->Set("operationID", "op-7 <&>");
  codec.EncodeRequest(query, target.Get(), args, bytes, context.Get());
  Save(dir, "request-query-context", 1, bytes);

  codec.EncodeResult(retrieve, profiles.Get(), bytes);
  Save(dir, "response-profiles", 2, bytes);
  auto fault = MakeRef<Lumo::Wire::WireFormatFault>();
  fault->SetReason(std::string("malformed"));
  codec.EncodeFault(fault.Get(), bytes, Lumo::Wire::FaultCode::kClient, retrieve);
  Save(dir, "response-fault", 2, bytes);
  return 0;
}
