// Settings of the JSON mapping: those of every message format of the runtime,
// with the XML wire's defaults. A broken limit is refused with a Json::Error
// naming the place.
#pragma once

#include <Lumo/CodecOptions.h>

namespace Lumo {
namespace Json {

using Limits = CodecLimits;
using Options = CodecOptions;

}  // namespace Json
}  // namespace Lumo
