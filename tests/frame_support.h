// The working surface for the effects' tests: pixels by position, and a
// fixture that makes the surface, fills it with a canary colour and checks at
// the end that nothing left it locked.
#pragma once

#include "data/surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

inline uint32_t& pixel(int x, int y) {
    return surface_virtual1->pixels[size_t(y) * FRAME_WIDTH + x];
}
inline uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
    return r << 16 | g << 8 | b;
}
inline void fill_frame(uint32_t colour) {
    std::fill(surface_virtual1->pixels.begin(), surface_virtual1->pixels.end(), colour);
}
inline int pixels_not(uint32_t colour) {
    return int(std::count_if(surface_virtual1->pixels.begin(), surface_virtual1->pixels.end(),
                             [&](uint32_t p) { return p != colour; }));
}

template <uint32_t Canary> struct FrameTest : ::testing::Test {
    static constexpr uint32_t CANARY = Canary;
    void SetUp() override {
        ASSERT_EQ(create_working_surface(), 1);
        fill_frame(CANARY);
        surface_failing_locks = 0;
    }
    void TearDown() override {
        EXPECT_FALSE(surface_virtual1->locked) << "an effect left the surface locked";
        release_working_surface();
        surface_failing_locks = 0;
    }
};
