// The transcript of the demo conversation: numbered steps, each with what
// it learned and whether every answer was the expected one.
#pragma once

#include <Kestrum/Exception.h>
#include <Kestrum/Ref.h>
#include <Lumo/MethodFault.h>
#include <Lumo/Type.h>
#include <ZelDemo/Conversation.h>

#include <functional>
#include <iomanip>
#include <ostream>
#include <string>

namespace ZelDemo {
namespace Detail {

using Kestrum::MakeRef;
using Kestrum::Ref;

inline std::string FaultName(const Lumo::MethodFault* fault) {
  return fault ? fault->_GetType()->GetName() : "(none)";
}

inline std::string Shortened(const std::string& text, size_t length = 110) {
  return text.size() <= length ? text : text.substr(0, length - 3) + "...";
}

// ---- the transcript -----------------------------------------------------------------------

class Transcript {
 public:
  explicit Transcript(std::ostream& out) : _out(out) {}

  // Runs one step: its body prints what it learns and checks each answer.
  void Step(const std::string& title, const std::function<void()>& body) {
    ++_result.steps;
    _ok = true;
    _out << "\n" << std::setw(2) << _result.steps << ". " << title << "\n";
    try {
      body();
    } catch (const Lumo::MethodFault::Exception& e) {
      Check(false, "the call failed with " + FaultName(e.GetFault()) + ": " +
                       Shortened(e.GetFault()->GetMsg()));
    } catch (const std::exception& e) {
      Check(false, std::string("the call failed: ") + Shortened(e.what()));
    }
    if (_ok) {
      _out << "    -> as expected\n";
    } else {
      _out << "    -> NOT AS EXPECTED\n";
      _result.failed.push_back(title);
    }
  }

  void Say(const std::string& text) { _out << "    " << text << "\n"; }

  bool Check(bool condition, const std::string& expectation) {
    if (!condition) {
      _ok = false;
      _out << "    UNEXPECTED: " << expectation << "\n";
    }
    return condition;
  }

  const ConversationResult& Result() const { return _result; }

 private:
  std::ostream& _out;
  ConversationResult _result;
  bool _ok = true;
};

// Runs a call that must fail with the exception class E and returns the
// fault; anything else is reported.
template <class E>
inline Ref<Lumo::MethodFault> Expect(Transcript& transcript, const std::string& what,
                                     const std::function<void()>& call) {
  try {
    call();
  } catch (const E& e) {
    return Ref<Lumo::MethodFault>(e.GetFault());
  } catch (const Kestrum::Exception& e) {
    auto* fault = dynamic_cast<const Lumo::MethodFault::Exception*>(&e);
    transcript.Check(false, what + ", but it failed with " +
                                (fault ? FaultName(fault->GetFault()) + ": " +
                                             Shortened(fault->GetFault()->GetMsg())
                                       : Shortened(e.what())));
    return Ref<Lumo::MethodFault>();
  }
  transcript.Check(false, what + ", but the call succeeded");
  return Ref<Lumo::MethodFault>();
}

}  // namespace Detail
}  // namespace ZelDemo
