// Settings of the wire format: those of every message format of the runtime.
// A broken limit is refused with a WireFormatFault naming the element.
#pragma once

#include <Lumo/CodecOptions.h>

namespace Lumo {
namespace Wire {

using Limits = CodecLimits;
using Options = CodecOptions;

}  // namespace Wire
}  // namespace Lumo
