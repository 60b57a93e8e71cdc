// The sample providers: compliance, hub finder, association and profile
// providers that live in this process.
#pragma once

#include "objects/ServiceCore.h"

namespace ZelSample {

// Registers the sample providers with the registries of the directory, and
// keeps them alive in it.
void RegisterSampleProviders(ServiceCore& core);

}  // namespace ZelSample
