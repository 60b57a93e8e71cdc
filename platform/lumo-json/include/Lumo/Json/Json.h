// The JSON mapping of the type system in one include.
#pragma once
#include <Lumo/Json/Codec.h>
#include <Lumo/Json/Error.h>
#include <Lumo/Json/Options.h>
