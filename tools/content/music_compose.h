// The show's module: 43 orders of 64 rows composed by rules from fixed seeds,
// played by synthesised instruments. The same source always gives the same
// module.
#pragma once

#include "xm_writer.h"

XmModule compose_music();
