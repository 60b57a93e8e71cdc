// Text rendering of runtime values, for messages and logs.
//
// The format is indented, one property a line:
//   (olyx.KeyAnyValue) {
//      key = "retries",
//      value = (int) 3
//   }
// Arrays render as "(<element>[]) [ ... ]", a null value as "<unset>".
#pragma once

#include <Kestrum/Print.h>
#include <Lumo/Fwd.h>

#include <string>

namespace Lumo {

std::string SerializeToText(const Any* value);

class SerializeFormatter : public Kestrum::Detail::PrintFormatter {
 public:
  explicit SerializeFormatter(const Any* value);
};

}  // namespace Lumo
