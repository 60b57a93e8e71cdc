// The shape of the benchmark's profile document, shared by the wire
// benchmark and its protocol buffers peer so that both build the same
// document: per profile, sub-profiles of capabilities, each of constraints of
// property instances, with these property ids in turn.
#pragma once

namespace ProfileShape {

constexpr int kSubProfiles = 2;
constexpr int kCapabilities = 3;
constexpr int kConstraints = 4;
constexpr int kProperties = 3;

constexpr const char* kCapabilityNamespace = "demo";
constexpr const char* kPropertyIds[kProperties] = {"replicaFailuresAllowed", "reservedSpacePercent",
                                                   "stripeWidth"};

}  // namespace ProfileShape
