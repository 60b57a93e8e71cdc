// Makes a call the current one of this thread (Lumo::CurrentCall) for the
// life of the scope; the previous one comes back when it ends.
#pragma once

#include <Lumo/ServedCall.h>

namespace Lumo {
namespace Detail {

class ServedCallScope {
 public:
  explicit ServedCallScope(ServedCall& call);
  ~ServedCallScope();
  ServedCallScope(const ServedCallScope&) = delete;
  ServedCallScope& operator=(const ServedCallScope&) = delete;

 private:
  ServedCall* _previous;
};

}  // namespace Detail
}  // namespace Lumo
