// Pictures, masks, maps and textures from PNG: decoded by libpng to 8-bit RGBA,
// made into the item's channels (colour composited on black, or grey, or the
// alpha channel), and scaled to the item's size when asked.
#include "import.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstring>

// The largest PNG taken: far above any item, small enough to hold as RGBA.
constexpr png_uint_32 PNG_MOST_SIDE = 4096;

// libpng's state for one decode. The error handler jumps back into the one
// function that set `jump`; nothing with a destructor lives in that frame.
struct PngReader {
    const uint8_t* data;
    size_t size;
    size_t position;
    std::jmp_buf jump;
    char message[160];
};

static void png_on_error(png_structp png, png_const_charp message) {
    PngReader* r = static_cast<PngReader*>(png_get_error_ptr(png));
    std::snprintf(r->message, sizeof r->message, "%s", message ? message : "error");
    std::longjmp(r->jump, 1);
}

static void png_on_warning(png_structp, png_const_charp) {}

static void png_on_read(png_structp png, png_bytep out, png_size_t count) {
    PngReader* r = static_cast<PngReader*>(png_get_io_ptr(png));
    if (count > r->size - r->position) png_error(png, "file is truncated");
    std::memcpy(out, r->data + r->position, count);
    r->position += count;
}

// Reads the header and sets up the conversion to 8-bit RGBA. Returns false
// with r->message set on any libpng error.
static bool png_read_header(png_structp png, png_infop info, PngReader* r, png_uint_32* width,
                            png_uint_32* height) {
    if (setjmp(r->jump)) return false;
    png_set_read_fn(png, r, png_on_read);
    png_set_user_limits(png, PNG_MOST_SIDE, PNG_MOST_SIDE);
    // Text, profiles and the like are of no use here, and libpng would set
    // aside whatever memory their length field claims: they are skipped.
    static const png_byte unused[] = "tEXt\0zTXt\0iTXt\0iCCP\0sPLT\0eXIf";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, unused, 6);
    png_read_info(png, info);
    int depth = 0, colour = 0;
    png_get_IHDR(png, info, width, height, &depth, &colour, nullptr, nullptr, nullptr);
    // Deflate packs at most 1032 bytes into one: a header that claims more
    // pixels than the file could hold lies, and is refused before any
    // memory is set aside for them.
    const uint64_t row = (uint64_t(*width) * png_get_channels(png, info) * depth + 7) / 8 + 1;
    if (row * *height > uint64_t(r->size) * 1032 + 1024)
        png_error(png, "the image data is far too short for the size in the header");
    png_set_scale_16(png);
    png_set_palette_to_rgb(png);
    png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(*width) * 4) png_error(png, "unexpected row layout");
    return true;
}

static bool png_read_pixels(png_structp png, png_bytepp rows, PngReader* r) {
    if (setjmp(r->jump)) return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

// Frees libpng's structures on every path.
struct PngHandles {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngHandles() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

struct Rgba {
    int width = 0, height = 0;
    Buffer pixels; // 4 bytes a pixel
};

static bool decode_png(const uint8_t* data, size_t size, Rgba* image, std::string* error) {
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) {
        *error = "not a PNG file";
        return false;
    }
    PngReader r{data, size, 0, {}, {}};
    PngHandles h;
    h.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, png_on_error, png_on_warning);
    if (h.png) h.info = png_create_info_struct(h.png);
    if (!h.png || !h.info) {
        *error = "out of memory";
        return false;
    }
#ifdef VORN_FUZZ_BUILD
    // A fuzzer cannot forge checksums: past them it reaches the decoding.
    png_set_crc_action(h.png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#endif
    png_uint_32 width = 0, height = 0;
    bool ok = png_read_header(h.png, h.info, &r, &width, &height);
    if (ok) {
        image->width = int(width);
        image->height = int(height);
        image->pixels.assign(size_t(width) * height * 4, 0);
        std::vector<png_bytep> rows(height);
        for (png_uint_32 y = 0; y < height; y++) rows[y] = &image->pixels[size_t(y) * width * 4];
        ok = png_read_pixels(h.png, rows.data(), &r);
    }
    if (!ok) *error = std::string("bad PNG: ") + r.message;
    return ok;
}

// The item's channels at the PNG's size: colour composited on black, its
// luma, or the alpha channel (turned round for a mask, whose 0 shows).
static Buffer item_channels(const Rgba& image, int channels, bool alpha, bool opacity_mask) {
    const size_t count = size_t(image.width) * image.height;
    Buffer out(count * channels);
    for (size_t i = 0; i < count; i++) {
        const uint8_t* p = &image.pixels[i * 4];
        const int a = p[3];
        int rgb[3];
        for (int c = 0; c < 3; c++) rgb[c] = (p[c] * a + 127) / 255;
        if (channels == 3) {
            for (int c = 0; c < 3; c++) out[i * 3 + c] = uint8_t(rgb[c]);
        } else {
            const int luma = (77 * rgb[0] + 150 * rgb[1] + 29 * rgb[2] + 128) >> 8;
            out[i] = uint8_t(!alpha ? luma : opacity_mask ? 255 - a : a);
        }
    }
    return out;
}

// One output sample along an axis: source samples first.. with 16.16 weights
// that add up to 65536.
struct Taps {
    int first;
    std::vector<uint32_t> weight;
};

// Output samples 0..count-1 cover the source span [begin, begin + length) of
// an axis of `size` samples: area averaging when shrinking, linear
// interpolation between sample centres when growing.
static std::vector<Taps> axis_taps(int count, double begin, double length, int size) {
    std::vector<Taps> taps(count);
    const double step = length / count;
    for (int i = 0; i < count; i++) {
        std::vector<double> w;
        int first;
        if (step >= 1.0) {
            const double lo = begin + i * step, hi = lo + step;
            first = std::clamp(int(std::floor(lo)), 0, size - 1);
            const int last = std::clamp(int(std::ceil(hi)) - 1, first, size - 1);
            for (int s = first; s <= last; s++)
                w.push_back(std::max(0.0, std::min(hi, s + 1.0) - std::max(lo, double(s))));
        } else {
            const double centre = std::clamp(begin + (i + 0.5) * step - 0.5, 0.0, size - 1.0);
            first = std::min(int(centre), std::max(size - 2, 0));
            const double f = centre - first;
            w = {1.0 - f};
            if (first + 1 < size) w.push_back(f);
        }
        double total = 0;
        for (double x : w) total += x;
        taps[i].first = first;
        uint32_t given = 0;
        for (size_t k = 0; k < w.size(); k++) {
            const uint32_t q =
                k + 1 == w.size() ? 65536 - given : uint32_t(std::lround(w[k] / total * 65536));
            taps[i].weight.push_back(std::min(q, 65536 - given));
            given += taps[i].weight.back();
        }
    }
    return taps;
}

// Resamples the source window (x0, y0, w, h) of a width x height plane of
// `channels` bytes a pixel to out_w x out_h: rows first into 8.8 fixed point,
// then columns.
static Buffer resample(const Buffer& src, int width, int height, int channels, double x0, double y0,
                       double w, double h, int out_w, int out_h) {
    const std::vector<Taps> across = axis_taps(out_w, x0, w, width);
    const std::vector<Taps> down = axis_taps(out_h, y0, h, height);
    std::vector<uint16_t> rows(size_t(out_w) * height * channels);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < out_w; x++)
            for (int c = 0; c < channels; c++) {
                const Taps& t = across[x];
                uint32_t sum = 0;
                for (size_t k = 0; k < t.weight.size(); k++)
                    sum += t.weight[k] * src[(size_t(y) * width + t.first + k) * channels + c];
                rows[(size_t(y) * out_w + x) * channels + c] = uint16_t((sum + 128) >> 8);
            }
    Buffer out(size_t(out_w) * out_h * channels);
    for (int y = 0; y < out_h; y++)
        for (int x = 0; x < out_w; x++)
            for (int c = 0; c < channels; c++) {
                const Taps& t = down[y];
                uint64_t sum = 0;
                for (size_t k = 0; k < t.weight.size(); k++)
                    sum += uint64_t(t.weight[k]) * rows[((t.first + k) * out_w + x) * channels + c];
                out[(size_t(y) * out_w + x) * channels + c] = uint8_t((sum + (1u << 23)) >> 24);
            }
    return out;
}

// The plane fitted to the item's size: stretched, scaled to cover and cut to
// the middle, or scaled to fit inside and bordered with black.
static Buffer fit_plane(const Buffer& src, int width, int height, int channels, int out_w,
                        int out_h, FitMode fit) {
    if (fit == FIT_SCALE)
        return resample(src, width, height, channels, 0, 0, width, height, out_w, out_h);
    const double sx = double(out_w) / width, sy = double(out_h) / height;
    if (fit == FIT_CROP) {
        const double s = std::max(sx, sy), w = out_w / s, h = out_h / s;
        return resample(src, width, height, channels, (width - w) / 2, (height - h) / 2, w, h,
                        out_w, out_h);
    }
    const double s = std::min(sx, sy);
    const int w = std::clamp(int(std::lround(width * s)), 1, out_w);
    const int h = std::clamp(int(std::lround(height * s)), 1, out_h);
    const Buffer inner = resample(src, width, height, channels, 0, 0, width, height, w, h);
    Buffer out(size_t(out_w) * out_h * channels, 0);
    const int left = (out_w - w) / 2, top = (out_h - h) / 2;
    for (int y = 0; y < h; y++)
        std::memcpy(&out[(size_t(top + y) * out_w + left) * channels],
                    &inner[size_t(y) * w * channels], size_t(w) * channels);
    return out;
}

bool import_png(const uint8_t* data, size_t size, const ItemShape& shape, FitMode fit, bool alpha,
                Buffer* out, std::string* error) {
    if (shape.kind == KIND_MODEL) {
        *error = "a model is not made from a PNG";
        return false;
    }
    Rgba image;
    if (!decode_png(data, size, &image, error)) return false;
    const int channels = shape.kind == KIND_RGB ? 3 : 1;
    if (alpha && channels == 3) {
        *error = "--alpha makes one-byte items only; this item is RGB";
        return false;
    }
    const Buffer plane = item_channels(image, channels, alpha, shape.opacity_mask);
    if (image.width == shape.width && image.height == shape.height) {
        *out = plane;
        return true;
    }
    if (fit == FIT_NONE) {
        *error = "picture is " + std::to_string(image.width) + " x " +
                 std::to_string(image.height) + ", the item is " + std::to_string(shape.width) +
                 " x " + std::to_string(shape.height) +
                 " (--fit, --fit=crop or --fit=pad scale it)";
        return false;
    }
    *out = fit_plane(plane, image.width, image.height, channels, shape.width, shape.height, fit);
    return true;
}
