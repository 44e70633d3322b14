// The display: surfaces and their operations, the scaler, and the SDL window
// that presents them.
#include "presentation/display.h"

#include "core/cpu.h"
#include "data/scaler.h"
#include "director/kernels.h"
#include "platform/sdl/sdl_video.h"
#include "platform/video.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <tuple>

namespace {

// A picture whose every pixel differs from its neighbours.
std::vector<uint32_t> test_picture(int w, int h) {
    std::vector<uint32_t> p(size_t(w) * h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            p[size_t(y) * w + x] = uint32_t((x * 37 + y * 101) & 0xFF) << 16 |
                                   uint32_t((x * 13) & 0xFF) << 8 | uint32_t(y & 0xFF);
    return p;
}

Surface memory_surface(int w, int h, uint32_t fill = 0) {
    return Surface{std::vector<uint32_t>(size_t(w) * h, fill), uint32_t(w), uint32_t(h), false};
}

int channel(uint32_t p, int shift) {
    return int((p >> shift) & 0xFF);
}

// The integer scaler's reference: bilinear in floating point at pixel centres, edges clamped.
std::vector<double> reference_linear(const std::vector<uint32_t>& src, int sw, int sh, int dw,
                                     int dh, int shift) {
    std::vector<double> out(size_t(dw) * dh);
    auto at = [&](int x, int y) { return double(channel(src[size_t(y) * sw + x], shift)); };
    for (int y = 0; y < dh; y++) {
        double v = std::clamp((y + 0.5) * sh / dh - 0.5, 0.0, double(sh - 1));
        int y0 = int(v), y1 = std::min(y0 + 1, sh - 1);
        double fy = v - y0;
        for (int x = 0; x < dw; x++) {
            double u = std::clamp((x + 0.5) * sw / dw - 0.5, 0.0, double(sw - 1));
            int x0 = int(u), x1 = std::min(x0 + 1, sw - 1);
            double fx = u - x0;
            double top = at(x0, y0) * (1 - fx) + at(x1, y0) * fx;
            double bottom = at(x0, y1) * (1 - fx) + at(x1, y1) * fx;
            out[size_t(y) * dw + x] = top * (1 - fy) + bottom * fy;
        }
    }
    return out;
}

class DisplayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        display_filter = FILTER_SHARP;
        display_windowed = 1;
        display_pacing = PACE_UNLIMITED;
        surface_failing_locks = 0;
    }
    void TearDown() override {
        release_display();
        release_working_surface();
        surface_failing_locks = 0;
    }
};

void expect_working_surface_shape() {
    FrameSurface frame;
    ASSERT_EQ(lock_surface(surface_virtual1, &frame), 1);
    EXPECT_EQ(std::make_tuple(frame.width, frame.height, frame.pitch),
              std::make_tuple(320u, 200u, 1280));
    unlock_surface(surface_virtual1);
}

// The working surface is 320 x 200 without gaps whatever the display; releasing is harmless
// before a display exists and twice.
TEST_F(DisplayTest, SetUpAndRelease) {
    release_display();
    ASSERT_EQ(init_memory_display(1280, 800), 1);
    expect_working_surface_shape();
    ASSERT_EQ(init_display(-1, make_mode(640, 480)), 1);
    expect_working_surface_shape();

    release_display();
    EXPECT_TRUE(!surface_back && !surface_primary && !surface_virtual1 && !video_is_open());
    release_display();
    // A working surface made without a display is not the display's to release.
    create_working_surface();
    release_display();
    EXPECT_NE(surface_virtual1, nullptr);
}

// A mode it cannot set: its message, and no window or surface left.
TEST_F(DisplayTest, FailedSetUpShowsItsMessageAndLeavesNothing) {
    ModeRecord sixteen_bits = make_mode(640, 480);
    sixteen_bits.bits_per_pixel = 16;
    last_message_caption.clear();
    EXPECT_EQ(init_display(-1, sixteen_bits), -1);
    EXPECT_EQ(last_message_caption + ": " + last_message_text, "DDRAW: Couldn't set the mode.\n");
    EXPECT_TRUE(!surface_primary && !surface_back && !surface_virtual1 && !video_is_open());
}

// Pixels of `out` (k times as large) that are not their source pixel repeated.
int wrong_multiples(const std::vector<uint32_t>& out, const std::vector<uint32_t>& picture, int k) {
    int wrong = 0;
    for (int y = 0; y < 200 * k; y++)
        for (int x = 0; x < 320 * k; x++)
            wrong += out[size_t(y) * 320 * k + x] != picture[(y / k) * 320 + x / k];
    return wrong;
}

// Whole multiples repeat every pixel, in memory and in a window's back buffer.
TEST_F(DisplayTest, WholeMultiplesRepeatEveryPixel) {
    const std::vector<uint32_t> picture = test_picture(320, 200);
    Surface source = memory_surface(320, 200);
    source.pixels = picture;
    for (int filter : {FILTER_SHARP, FILTER_NEAREST})
        for (int k : {1, 2, 3}) {
            display_filter = filter;
            Surface dest = memory_surface(320 * k, 200 * k, 0xABCDEF);
            ASSERT_EQ(blit_surface(&source, &dest), 1);
            EXPECT_EQ(wrong_multiples(dest.pixels, picture, k), 0) << filter << " times " << k;
        }

    ASSERT_EQ(init_display(-1, make_mode(640, 400)), 1);
    surface_virtual1->pixels = picture;
    ASSERT_EQ(blit_surface(surface_virtual1, surface_back), 1);
    std::vector<uint32_t> back;
    ASSERT_EQ(read_surface_pixels(surface_back, &back), 1);
    ASSERT_EQ(back.size(), size_t(640 * 400));
    EXPECT_EQ(wrong_multiples(back, picture, 2), 0);
}

TEST_F(DisplayTest, LinearAndSharpScalingFollowAFloatingPointReference) {
    // Black and white, four times as wide: the inner pixels' centres a quarter and three quarters
    // of the way across.
    const std::vector<uint32_t> pair = {0x000000, 0xFFFFFF};
    std::vector<uint32_t> four(4);
    scale_pixels(pair.data(), 2, 1, four.data(), 4, 1, FILTER_LINEAR);
    EXPECT_EQ(four, (std::vector<uint32_t>{0, 0x3F3F3F, 0xBFBFBF, 0xFFFFFF})); // 63.75, 191.25

    const int sw = 37, sh = 23;
    std::vector<uint32_t> source(size_t(sw) * sh);
    uint32_t seed = 12345;
    for (uint32_t& p : source) p = ((seed = seed * 1103515245 + 12345) >> 8) & 0xFFFFFF;
    for (auto [dw, dh] : {std::pair{100, 61}, {37, 40}, {20, 11}}) {
        std::vector<uint32_t> out(size_t(dw) * dh);
        scale_pixels(source.data(), sw, sh, out.data(), dw, dh, FILTER_LINEAR);
        for (int shift : {0, 8, 16}) {
            const std::vector<double> want = reference_linear(source, sw, sh, dw, dh, shift);
            double worst = 0;
            for (size_t i = 0; i < out.size(); i++)
                worst = std::max(worst, std::fabs(channel(out[i], shift) - want[i]));
            EXPECT_LE(worst, 3.0) << dw << "x" << dh << " shift " << shift;
        }
    }
    // Sharp is exactly nearest to the largest whole multiple, then linear to
    // the final size: twice 37 x 23 for 100 x 61, five times 320 x 200 for
    // 1920 x 1080 (one pass over the source, the same bytes as two).
    struct Sharp {
        int sw, sh, k, dw, dh;
    };
    for (const Sharp c : {Sharp{sw, sh, 2, 100, 61}, Sharp{320, 200, 5, 1920, 1080}}) {
        const int mw = c.sw * c.k, mh = c.sh * c.k;
        std::vector<uint32_t> picture(size_t(c.sw) * c.sh), multiple(size_t(mw) * mh);
        for (size_t i = 0; i < picture.size(); i++) picture[i] = source[i % source.size()];
        for (size_t i = 0; i < multiple.size(); i++)
            multiple[i] = picture[(i / mw / c.k) * c.sw + i % mw / c.k];
        std::vector<uint32_t> want(size_t(c.dw) * c.dh), sharp(want.size());
        scale_pixels(multiple.data(), mw, mh, want.data(), c.dw, c.dh, FILTER_LINEAR);
        scale_pixels(picture.data(), c.sw, c.sh, sharp.data(), c.dw, c.dh, FILTER_SHARP);
        EXPECT_TRUE(sharp == want) << c.dw << "x" << c.dh;
    }
}

// A failed lock draws nothing (a blit, a fill, the texts' put_pixels), and the
// next lock works again; put_pixels clips a block to the surface.
TEST_F(DisplayTest, FailedLockDrawsNothingAndPutPixelsClips) {
    Surface source = memory_surface(320, 200, 0x123456);
    Surface dest = memory_surface(640, 400, 0x654321);
    surface_failing_locks = 1;
    EXPECT_EQ(blit_surface(&source, &dest), 0);
    EXPECT_EQ(std::count(dest.pixels.begin(), dest.pixels.end(), 0x654321u), 640 * 400);
    EXPECT_FALSE(source.locked);
    surface_failing_locks = 2;
    EXPECT_EQ(fill_surface(&dest, 0) + put_pixels(&dest, 0, 0, source.pixels.data(), 1, 1), 0);
    EXPECT_EQ(dest.pixels[0], 0x654321u);
    EXPECT_EQ(blit_surface(&source, &dest), 1);
    EXPECT_EQ(dest.pixels[640 * 400 - 1], 0x123456u);

    Surface small = memory_surface(4, 3, 0);
    const std::vector<uint32_t> block = {1, 2, 3, 4}; // 2 x 2
    for (auto [x, y] : {std::pair{-1, -1}, {3, 2}, {10, 10}})
        EXPECT_EQ(put_pixels(&small, x, y, block.data(), 2, 2), 1);
    EXPECT_EQ(small.pixels, (std::vector<uint32_t>{4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
}

TEST(FillPixels, EveryPathSetsTheWordsAskedAndNoOthers) {
    const bool has_avx2 = use_avx2, has_avx512 = use_avx512;
    for (const auto& [simd, avx2, avx512] :
         {std::tuple{true, true, true}, {true, true, false}, {false, false, false}}) {
        if ((avx2 && !has_avx2) || (avx512 && !has_avx512)) continue;
        use_simd = simd, use_avx2 = avx2, use_avx512 = avx512;
        choose_kernels();
        for (const size_t count : {0, 1, 7, 8, 15, 16, 17, 47, 64000}) {
            std::vector<uint32_t> words(count + 2, 0xDEAD);
            fill_pixels(words.data() + 1, count, 0x123456);
            EXPECT_EQ(size_t(std::count(words.begin(), words.end(), 0x123456u)), count);
            EXPECT_EQ(words.front() + words.back(), 2u * 0xDEAD) << count;
        }
    }
    use_simd = true, use_avx2 = has_avx2, use_avx512 = has_avx512;
    choose_kernels();
}

// What the window shows after a flip.
uint32_t window_pixel(SDL_Window* window, int x, int y) {
    SDL_Renderer* renderer = SDL_GetRenderer(window);
    SDL_SetRenderTarget(renderer, nullptr);
    uint32_t p = 0;
    const SDL_Rect one = {x, y, 1, 1};
    SDL_RenderReadPixels(renderer, &one, SDL_PIXELFORMAT_ARGB8888, &p, 4);
    return p & 0xFFFFFF;
}

TEST_F(DisplayTest, FlipShowsTheBackBufferCentredWithItsAspectKept) {
    // A 320 x 200 back buffer in an 800 x 400 window: 640 x 400 in the middle, 80-pixel bars.
    ASSERT_EQ(init_display(-1, make_mode(320, 200)), 1);
    SDL_Window* window = sdl_video_window();
    SDL_SetWindowSize(window, 800, 400);
    for (int filter : {FILTER_SHARP, FILTER_NEAREST, FILTER_LINEAR}) {
        display_filter = filter;
        ASSERT_EQ(fill_surface(surface_back, 0x20A040), 1);
        ASSERT_EQ(flip_primary(), 1);
        for (auto [x, y, shown] :
             {std::tuple{79, 200, 0u}, {80, 0, 0x20A040u}, {719, 399, 0x20A040u}, {720, 200, 0u}})
            EXPECT_EQ(window_pixel(window, x, y), shown) << filter << " at " << x << "," << y;
    }
}

TEST_F(DisplayTest, ModeListOffersTheFourSmallModesAndOnly320Or640Wide) {
    ASSERT_EQ(init_display(-1, make_mode(320, 200)), 1);
    std::vector<std::tuple<uint32_t, uint32_t, uint32_t>> keys;
    std::set<std::pair<uint32_t, uint32_t>> sizes;
    for (const ModeRecord& m : list_display_modes(-1)) {
        EXPECT_TRUE(m.width == 320 || m.width == 640) << m.width;
        EXPECT_EQ(std::make_pair(m.bits_per_pixel, m.red_mask), std::make_pair(32u, 0xFF0000u));
        keys.emplace_back(m.width, m.height, m.refresh_rate);
        sizes.emplace(m.width, m.height);
    }
    // Sorted, each mode once.
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    EXPECT_EQ(std::adjacent_find(keys.begin(), keys.end()), keys.end());
    for (auto size : {std::pair{320u, 200u}, {320u, 240u}, {640u, 400u}, {640u, 480u}})
        EXPECT_EQ(sizes.count(size), 1u) << size.first << "x" << size.second;
    EXPECT_FALSE(list_display_devices().empty());
}

} // namespace
