// The contact sheet: every picture item at its own size with its name, and
// each 3D scene's models as the show renders them from its camera, in one PNG.
#include "content.h"
#include "data/assets.h"
#include "data/files.h"
#include "data/items.h"
#include "data/pack.h"
#include "data/render_resources.h"
#include "effects/effect_tables.h"
#include "engine3d/kernels.h"
#include "engine3d/scenes.h"
#include "font.h"
#include "raster.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

// ---- the folder's items ----

// While it lives the folder's items are the only ones read, as the program
// reads them: the folder is the current directory and the built-in pack is
// set aside. entered is false (and nothing read) when the folder cannot be
// entered.
struct FolderItems {
    std::filesystem::path back;
    Blob builtin = pack_builtin;
    bool entered = false;
    explicit FolderItems(const std::string& dir) {
        std::error_code ec;
        back = std::filesystem::current_path(ec);
        if (!ec) std::filesystem::current_path(dir, ec);
        entered = !ec;
        pack_builtin = {nullptr, 0};
    }
    ~FolderItems() {
        pack_builtin = builtin;
        std::error_code ec;
        if (entered) std::filesystem::current_path(back, ec);
    }
};

// ---- the scenes ----

// The scenes built from the folder's items, each drawn from its camera over
// the show's dark blue.
static std::vector<std::pair<std::string, Image>> scene_pictures() {
    std::vector<std::pair<std::string, Image>> pictures;
    create_working_surface();
    choose_drawing_kernels();
    load_all_assets();
    display_depth = 32;
    for (const SceneView& view : scene_views()) {
        std::vector<uint32_t>& pixels = surface_virtual1->pixels;
        std::fill(pixels.begin(), pixels.end(), 0x00008Fu);
        Camera camera = show_camera();
        draw_scene_view(view, &camera, surface_virtual1);
        Image img = make_image(FRAME_WIDTH, FRAME_HEIGHT, {0, 0, 0});
        for (size_t i = 0; i < img.px.size(); i++)
            img.px[i] = rgb8(pixels[i] >> 16 & 255, pixels[i] >> 8 & 255, pixels[i] & 255);
        pictures.push_back({std::string(view.name) + ": " + view.models, std::move(img)});
    }
    free_all_assets();
    release_working_surface();
    return pictures;
}

static void draw_label(Image& sheet, const std::string& text, int x, int y) {
    const Gray cov = text_coverage(text.c_str(), 12, FONT_REGULAR);
    paint(sheet, cov, rgb8(230, 230, 240), x, y);
}

static bool encode_png(FILE* f, const Image& img) {
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
    return ok;
}

static bool save_png(const std::string& path, const Image& img) {
    std::string error;
    return write_file_atomically(
        path, [&](FILE* f) { return encode_png(f, img); }, &error);
}

// An item's raw bytes as a picture (masks and maps in grey); none if missing
// or short.
static bool item_image(const ShowItem& item, Image& out) {
    const Buffer data = pack_read_entry(item.name).value_or(Buffer{});
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
    size_t first_model = 0;
    { // read inside the folder; the sheet is written from where we were
        const FolderItems folder(items_dir);
        for (const ShowItem& item : show_items) {
            if (!item.width) continue; // the scenes follow, the module has no picture
            Cell cell{item.name, {}};
            if (!folder.entered || !item_image(item, cell.img))
                cell.img = make_image(item.width, item.height, rgb8(120, 0, 0));
            cells.push_back(std::move(cell));
        }
        first_model = cells.size();
        if (folder.entered)
            for (auto& [name, img] : scene_pictures()) cells.push_back({name, std::move(img)});
    }
    // Flow the cells into rows.
    struct Placed {
        int x, y;
    };
    std::vector<Placed> at;
    int x = gap, y = gap, row_h = 0;
    for (size_t i = 0; i < cells.size(); i++) {
        const Cell& c = cells[i];
        // The scenes begin a row of their own.
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
