#include "CallTestSupport.h"

namespace WireTest {

Service::Service()
    : recorder(new RecordingAdapter()),
      registry(new Lumo::ObjectRegistry()),
      dispatcher(new Lumo::Wire::Dispatcher(registry.Get())),
      transport(new TappedTransport(new Lumo::Wire::LoopbackTransport(dispatcher.Get()))) {
  for (const Lumo::Type* t : ZelTypes()) {
    if (!t->IsManagedObject()) continue;
    auto* type = static_cast<const Lumo::ManagedObjectType*>(t);
    types.push_back(type);
    auto ref = Kestrum::MakeRef<Lumo::MoRef>(type->GetName(), IdOf(type));
    Kestrum::Ref<Lumo::Stub> server(type->CreateStub(ref.Get(), recorder.Get(), nullptr));
    registry->Register(IdOf(type), server.Get());
  }
}

Kestrum::Ref<Lumo::Stub> Service::ClientStub(const Lumo::ManagedObjectType* type,
                                             Lumo::StubAdapter* adapter,
                                             Lumo::RequestContext* context) const {
  auto ref = Kestrum::MakeRef<Lumo::MoRef>(type->GetName(), IdOf(type));
  return Kestrum::Ref<Lumo::Stub>(type->CreateStub(ref.Get(), adapter, context));
}

const Lumo::ParamInfo* ParametersOf(const Lumo::ManagedMethod* m) {
  static const Lumo::ParamInfo kNone[] = {{nullptr, nullptr, nullptr, 0xffffffffu, nullptr}};
  return m->GetMethodInfo() ? m->GetMethodInfo()->parameters : kNone;
}

bool ResultOf(const Lumo::ManagedMethod* m, const Lumo::TypeInfo** type, uint32_t* flags) {
  if (const Lumo::MethodInfo* info = m->GetMethodInfo()) {
    *type = info->result.type;
    *flags = info->result.flags;
  } else {
    *type = m->GetPropInfo()->type;
    *flags = m->GetPropInfo()->flags;
  }
  return *type != nullptr;
}

}  // namespace WireTest
