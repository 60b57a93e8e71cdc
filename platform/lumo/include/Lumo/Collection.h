// Base of arrays.
#pragma once

#include <Lumo/Any.h>

namespace Lumo {

class Collection : public Any {
 public:
  ~Collection() override;
  virtual int _GetLength() const = 0;

 protected:
  Collection() = default;
  Collection(const Collection& other) : Any(other) {}
};

}  // namespace Lumo
