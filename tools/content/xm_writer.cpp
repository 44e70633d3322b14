#include "xm_writer.h"
