// The profile document the benchmarks work on: capability-based profiles as
// retrieveContent answers them, each with two sub-profiles of three
// capabilities, each of four constraints of three property instances (72
// property instances per profile) whose values are anyType values (int,
// string, boolean, long in turn).
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/Any.h>

namespace ProfileDocument {

// Data objects, arrays and boxed values in one profile.
int ObjectsPerProfile();

// An array of count profiles, built with the generated setters.
Kestrum::Ref<Lumo::Any> Build(int count);

}  // namespace ProfileDocument
