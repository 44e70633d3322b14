// The default content compiled into the program.
#pragma once

#include "data/pack.h"

Blob builtin_pack();
Blob builtin_module();
