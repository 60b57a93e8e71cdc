// Starts the runtime and reads one of its own types: prints "uses-runtime: ok".
#include <Kestrum/Ref.h>
#include <Lumo/Lumo.h>

#include <iostream>
#include <string>

int main() {
  Lumo::StartRuntime();
  auto ref = Kestrum::MakeRef<Lumo::MoRef>("zel.ServiceInstance", "ServiceInstance");
  if (std::string(Lumo::GetNoType<std::string>()->GetName()) != "string") return 1;
  std::cout << "uses-runtime: ok (" << ref->GetTypeName() << ")\n";
  return 0;
}
