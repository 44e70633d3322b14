// The contact sheet: every picture item at its own size with its name, and a
// flat-shaded view of every model found in the items folder, in one PNG.
#include "content.h"
#include "data/items.h"
#include "font.h"
#include "model_mesh.h"
#include "pic.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

// ---- model reader: just enough of the model format to draw it ----

struct SheetModel {
    std::vector<float> xyz;        // 3 floats a vertex
    std::vector<uint32_t> corners; // 3 indices a face
};

static uint32_t get_u32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
static uint16_t get_u16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
static float get_f32(const uint8_t* p) {
    const uint32_t bits = get_u32(p);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

// Parses a model file; false for anything malformed (nothing is read outside
// the data).
static bool parse_model(const std::vector<uint8_t>& data, SheetModel& model) {
    const size_t header = MODEL_HEADER_SIZE;
    if (data.size() < header || std::memcmp(data.data(), "QX3D", 4) != 0) return false;
    const uint16_t vertex_count = get_u16(&data[26]), face_count = get_u16(&data[30]);
    bool have_vertices = false, have_faces = false;
    size_t pos = header;
    while (pos + 8 <= data.size()) {
        const uint8_t* chunk = &data[pos];
        const uint32_t size = get_u32(chunk + 4);
        pos += 8;
        if (size > data.size() - pos) return false;
        if (std::memcmp(chunk, "VREX", 4) == 0) {
            if (size_t(vertex_count) * 12 > size) return false;
            model.xyz.resize(size_t(vertex_count) * 3);
            for (size_t i = 0; i < model.xyz.size(); i++)
                model.xyz[i] = get_f32(&data[pos + 4 * i]);
            have_vertices = true;
        } else if (std::memcmp(chunk, "FACE", 4) == 0) {
            if (size_t(face_count) * 6 > size) return false;
            model.corners.resize(size_t(face_count) * 3);
            for (size_t i = 0; i < model.corners.size(); i++)
                model.corners[i] = get_u16(&data[pos + 2 * i]);
            have_faces = true;
        }
        pos += size;
    }
    if (!have_vertices || !have_faces) return false;
    for (uint32_t c : model.corners)
        if (c >= vertex_count) return false;
    for (float v : model.xyz)
        if (!std::isfinite(v)) return false;
    return true;
}

// ---- painting ----

static void fill_triangle(Image& img, const float* a, const float* b, const float* c, Rgb colour) {
    const int x0 = std::max(0, int(std::floor(std::min({a[0], b[0], c[0]}))));
    const int x1 = std::min(img.w - 1, int(std::ceil(std::max({a[0], b[0], c[0]}))));
    const int y0 = std::max(0, int(std::floor(std::min({a[1], b[1], c[1]}))));
    const int y1 = std::min(img.h - 1, int(std::ceil(std::max({a[1], b[1], c[1]}))));
    const float area = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
    if (area == 0.0f) return;
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            const float px = float(x) + 0.5f, py = float(y) + 0.5f;
            const float w0 = (b[0] - px) * (c[1] - py) - (b[1] - py) * (c[0] - px);
            const float w1 = (c[0] - px) * (a[1] - py) - (c[1] - py) * (a[0] - px);
            const float w2 = (a[0] - px) * (b[1] - py) - (a[1] - py) * (b[0] - px);
            const bool inside =
                area > 0 ? (w0 >= 0 && w1 >= 0 && w2 >= 0) : (w0 <= 0 && w1 <= 0 && w2 <= 0);
            if (inside) img.at(x, y) = colour;
        }
}

// Draws the model turned for a three-quarter view, fitted to the picture,
// faces sorted back to front and shaded by one light.
static Image paint_model(const SheetModel& m, int size) {
    const int S = 2;
    Image img = make_image(size * S, size * S, rgb8(18, 18, 40));
    const size_t n = m.xyz.size() / 3;
    if (n == 0) return downsample(img, S);
    float lo[3] = {m.xyz[0], m.xyz[1], m.xyz[2]}, hi[3] = {lo[0], lo[1], lo[2]};
    for (size_t i = 0; i < n; i++)
        for (int k = 0; k < 3; k++) {
            lo[k] = std::min(lo[k], m.xyz[3 * i + k]);
            hi[k] = std::max(hi[k], m.xyz[3 * i + k]);
        }
    const float centre[3] = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
    float radius = 1e-6f;
    const float yaw = 0.6f, pitch = 0.45f;
    const float cy = std::cos(yaw), sy = std::sin(yaw), cp = std::cos(pitch), sp = std::sin(pitch);
    std::vector<float> view(n * 3);
    for (size_t i = 0; i < n; i++) {
        const float x = m.xyz[3 * i] - centre[0], y = m.xyz[3 * i + 1] - centre[1],
                    z = m.xyz[3 * i + 2] - centre[2];
        const float x1 = x * cy + z * sy, z1 = -x * sy + z * cy;
        const float y2 = y * cp - z1 * sp, z2 = y * sp + z1 * cp;
        view[3 * i] = x1, view[3 * i + 1] = y2, view[3 * i + 2] = z2;
        radius = std::max(radius, std::sqrt(x1 * x1 + y2 * y2 + z2 * z2));
    }
    const float scale = float(size * S) * 0.45f / radius;
    for (size_t i = 0; i < n; i++) {
        view[3 * i] = float(size * S) / 2 + view[3 * i] * scale;
        view[3 * i + 1] = float(size * S) / 2 - view[3 * i + 1] * scale;
        view[3 * i + 2] *= scale;
    }
    const size_t faces = m.corners.size() / 3;
    std::vector<std::pair<float, size_t>> order;
    for (size_t f = 0; f < faces; f++) {
        const uint32_t* c = &m.corners[3 * f];
        order.push_back({view[3 * c[0] + 2] + view[3 * c[1] + 2] + view[3 * c[2] + 2], f});
    }
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        return a.first > b.first || (a.first == b.first && a.second < b.second);
    });
    for (const auto& [depth, f] : order) {
        const uint32_t* c = &m.corners[3 * f];
        const float* a = &view[3 * c[0]];
        const float* b = &view[3 * c[1]];
        const float* d = &view[3 * c[2]];
        // Screen-space normal (y down): light from the upper left and the front.
        const float ux = b[0] - a[0], uy = b[1] - a[1], uz = b[2] - a[2];
        const float vx = d[0] - a[0], vy = d[1] - a[1], vz = d[2] - a[2];
        float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (len == 0.0f) continue;
        nx /= len, ny /= len, nz /= len;
        const float light = std::fabs(nx * -0.4f + ny * -0.5f + nz * -0.77f);
        fill_triangle(img, a, b, d, mix(rgb8(20, 30, 110), rgb8(255, 190, 110), light));
    }
    return downsample(img, S);
}

static void draw_label(Image& sheet, const std::string& text, int x, int y) {
    const Gray cov = text_coverage(text.c_str(), 12, FONT_REGULAR);
    paint(sheet, cov, rgb8(230, 230, 240), x, y);
}

static bool save_png(const std::string& path, const Image& img) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const std::vector<uint8_t> bytes = rgb_bytes(img);
    bool ok = false;
    if (info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, f);
        png_set_IHDR(png, info, png_uint_32(img.w), png_uint_32(img.h), 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < img.h; y++)
            png_write_row(png, const_cast<uint8_t*>(&bytes[size_t(y) * img.w * 3]));
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0 && ok;
}

static std::vector<uint8_t> load(const std::string& path) {
    std::vector<uint8_t> data;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return data;
    uint8_t block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, f)) > 0)
        data.insert(data.end(), block, block + got);
    std::fclose(f);
    return data;
}

// An item's raw bytes as a picture (masks and maps in grey); none if missing
// or short.
static bool item_image(const std::string& dir, const ShowItem& item, Image& out) {
    const std::vector<uint8_t> data = load(dir + "/" + item.name);
    const size_t bpp = item.kind == ITEM_PICTURE || item.kind == ITEM_TEXTURE ? 3 : 1;
    if (data.size() < size_t(item.width) * item.height * bpp) return false;
    out = make_image(item.width, item.height, {0, 0, 0});
    for (size_t i = 0; i < out.px.size(); i++)
        out.px[i] = bpp == 3 ? rgb8(data[3 * i], data[3 * i + 1], data[3 * i + 2])
                             : rgb8(data[i], data[i], data[i]);
    return true;
}

bool write_contact_sheet(const std::string& items_dir, const std::string& png_path) {
    const int width = 1360, gap = 10, label = 18;
    struct Cell {
        std::string name;
        Image img;
    };
    std::vector<Cell> cells;
    for (const ShowItem& item : show_items) {
        if (!item.width) continue; // models follow, the module has no picture
        Cell cell{item.name, {}};
        if (!item_image(items_dir, item, cell.img))
            cell.img = make_image(item.width, item.height, rgb8(120, 0, 0));
        cells.push_back(std::move(cell));
    }
    const size_t first_model = cells.size();
    std::vector<std::string> models;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(items_dir, ec))
        if (entry.path().extension() == ".m3d") models.push_back(entry.path().filename().string());
    std::sort(models.begin(), models.end());
    for (const std::string& name : models) {
        SheetModel m;
        const bool ok = parse_model(load(items_dir + "/" + name), m);
        cells.push_back({name + (ok ? "" : " (unreadable)"),
                         ok ? paint_model(m, 200) : make_image(200, 200, rgb8(120, 0, 0))});
    }
    // Flow the cells into rows.
    struct Placed {
        int x, y;
    };
    std::vector<Placed> at;
    int x = gap, y = gap, row_h = 0;
    for (size_t i = 0; i < cells.size(); i++) {
        const Cell& c = cells[i];
        // The models begin a row of their own.
        if (x + c.img.w + gap > width || (i == first_model && x > gap)) {
            x = gap;
            y += row_h + label + gap;
            row_h = 0;
        }
        at.push_back({x, y});
        x += c.img.w + gap;
        row_h = std::max(row_h, c.img.h);
    }
    Image sheet = make_image(width, y + row_h + label + gap, rgb8(40, 40, 48));
    for (size_t i = 0; i < cells.size(); i++) {
        const Cell& c = cells[i];
        for (int j = 0; j < c.img.h; j++)
            for (int k = 0; k < c.img.w; k++) sheet.at(at[i].x + k, at[i].y + j) = c.img.at(k, j);
        draw_label(sheet, c.name, at[i].x, at[i].y + c.img.h + 3);
    }
    return save_png(png_path, sheet);
}
