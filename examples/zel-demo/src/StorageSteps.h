// The demo steps about where storage goes, run inside the conversation.
#pragma once

#include <Lumo/Stub.h>
#include <Olyx/Zel/ServiceInstanceContent-decl.h>

#include <string>

#include "Transcript.h"

namespace ZelDemo {
namespace Detail {

// Needs a logged-in adapter and the id of a profile ("Gold") associated with
// vm-42 and its disks.
void RunStorageSteps(Transcript& t, Lumo::StubAdapter* adapter,
                     const Zel::ServiceInstanceContent& content, const std::string& gold);

}  // namespace Detail
}  // namespace ZelDemo
