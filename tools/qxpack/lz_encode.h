// The LZ encoder that writes "QXPD" blocks for unpack_block.
#pragma once

#include "data/pack.h"

// A complete packed block (header and coded stream) for data.
Buffer lz_pack_block(const uint8_t* data, size_t size);
