// The faults injected into calls: rules matched against each call's method
// and session, in the order they were added; the first that matches applies
// and, when it is for a number of calls, counts one down.
#pragma once

#include <Lumo/ManagedMethod.h>
#include <ZelSample/InjectedFault.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace ZelSample {

// The method a name gives (see InjectedFault::method); null with the reason
// in why for a name that gives none or several.
Lumo::ManagedMethod* MethodNamed(const std::string& name, std::string& why);

class FaultPlan {
 public:
  // Adds a rule; the method is resolved and kept by its full name. Throws
  // std::invalid_argument, naming what is wrong, for a method that no name
  // gives, a fault that is no fault type, a delay out of bounds or a
  // negative number of calls; then nothing changes.
  void Add(InjectedFault rule);
  // What configureErrorMode sets: the method fails with the fault for every
  // call until cleared, in place of any such rule it had.
  void SetErrorMode(const std::string& method, const std::string& fault);
  // Removes every rule of a method (by full name), or every rule.
  void Clear(const std::string& method);
  void ClearAll();
  std::vector<InjectedFault> List() const;
  // Whether a rule may make a call wait (a delay); cheap, without the lock.
  bool HasDelays() const { return _delays.load(std::memory_order_relaxed) > 0; }

  // What befalls one call: waits the delay, then throws the fault, or
  // answers the HTTP failure (the call must not run); kNone: it runs.
  InjectedFault::Http Apply(const Lumo::ManagedMethod& method, const std::string& session);

 private:
  // Counts the rules with a delay again; the caller holds _mutex.
  void RecountDelays();

  mutable std::mutex _mutex;
  std::vector<InjectedFault> _rules;
  std::atomic<int> _delays{0};
};

}  // namespace ZelSample
