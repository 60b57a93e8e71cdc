// Uses a type library built from the tiny schema beside the installed
// zel-types: a data object through its class and its type, a call through a
// stub and the local adapter, and a type of the zel API. Prints "greet: ok"
// when every answer is the expected one.
#include <Greet/Greeter.h>
#include <Greet/Greeting.h>
#include <Greet/Tone.h>
#include <Lumo/Lumo.h>
#include <Lumo/Wire/Dispatcher.h>
#include <Lumo/Wire/StubAdapters.h>
#include <Olyx/Zel/AboutInfo.h>

#include <iostream>
#include <string>

namespace {

class Greeter : public Greet::Greeter, public Kestrum::ObjectImpl {
 public:
  void Greet(const std::string& name, Kestrum::Ref<Greet::Greeting>& result) override {
    result = new Greet::Greeting;
    result->SetText("Hello, " + name);
    result->SetTone(Kestrum::Optional<std::string>(Greet::TONE_WARM));
  }
};

int failures = 0;

void Expect(bool condition, const std::string& what) {
  if (!condition) {
    std::cerr << "greet: not as expected: " << what << "\n";
    ++failures;
  }
}

}  // namespace

int main() {
  Lumo::StartRuntime();

  Lumo::DataObjectType* type = Lumo::GetDoType<Greet::Greeting>();
  Expect(std::string(type->GetName()) == "greet.Greeting", "the type of greet.Greeting");
  Expect(Lumo::FindTypeByWsdlName("GreetTone") == Lumo::GetEnumType<Greet::Tone>(),
         "the enumeration by its wsdl name");

  auto registry = Kestrum::MakeRef<Lumo::ObjectRegistry>();
  auto served = Kestrum::MakeRef<Greeter>();
  Kestrum::Ref<Lumo::MoRef> ref = registry->Register("greeter", served.Get());
  Kestrum::Ref<Lumo::StubAdapter> adapter =
      Kestrum::MakeRef<Lumo::Wire::LocalStubAdapter>(registry.Get());
  auto greeter = Kestrum::MakeRef<Greet::GreeterStub>(ref.Get(), adapter.Get(), nullptr);
  Kestrum::Ref<Greet::Greeting> greeting;
  greeter->Greet("consumer", greeting);
  Expect(greeting && greeting->GetText() == "Hello, consumer", "the greeting through the stub");
  Expect(greeting && greeting->GetTone().IsSet(), "the tone of the greeting");

  auto about = Kestrum::MakeRef<Zel::AboutInfo>();
  about->SetName("zel");
  Expect(std::string(about->_GetType()->GetName()) == "zel.AboutInfo", "a type of zel-types");

  if (failures != 0) return 1;
  std::cout << "greet: ok\n";
  return 0;
}
