// Reads a type of the zel API through the runtime: prints "uses-types: ok".
#include <Lumo/Lumo.h>
#include <Olyx/Zel/AboutInfo.h>

#include <iostream>
#include <string>

int main() {
  Lumo::StartRuntime();
  auto about = Kestrum::MakeRef<Zel::AboutInfo>();
  about->SetName("zel");
  if (std::string(Lumo::GetDoType<Zel::AboutInfo>()->GetName()) != "zel.AboutInfo") return 1;
  std::cout << "uses-types: ok\n";
  return 0;
}
