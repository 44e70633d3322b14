#include "data/pack.h"
#include "support.h"

#include <gtest/gtest.h>

TEST(Pack, Placeholder) { EXPECT_EQ(pack_entry_size("nothing-here"), 0u); }
