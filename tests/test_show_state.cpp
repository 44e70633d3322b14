// The show's state catalogue against the build: every writable program-wide
// variable of the drawing and the show (nm's symbols in .data and .bss of
// their static libraries) is a row of the catalogue, in its owner's unit, or
// one of a short list of what is fixed once the show has started or is no
// part of a frame. A new effect phase, camera or first-need table left out of
// the catalogue fails here by name, before a seek shows a different frame.
#include "presentation/seeking/show_state.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

// What needs no place in the catalogue, by unit (the object file) and name.
struct Known {
    const char* unit;
    const char* name;
};
const Known known_fixed[] = {
    // The compiler's own references for exceptions, and AddressSanitizer's
    // markers of each global.
    {".*", R"(DW\.ref\..*|__odr_asan\..*|__asan_.*)"},
    // The vector kernels and the processor's features, chosen once.
    {"cpu\\.cpp\\.o", "use_.*"},
    {".*", R"(fill::fill_(one|run)_kernel<.*>|widen_rgb|drawn_faces|round_points|fog_pixels)"},
    {".*", "light_entries|transform_wide|blend_run|fade_run|face_uvs|make_entry_corners"},
    {".*", "project_into|project_scaled_into|fill_pixels|draw_turned_plane|draw_tunnel_pixels|lift_"
           "bands"},
    // The assets, loaded at the start and only read (the one map a frame
    // changes, map_displace, is in the catalogue).
    {"assets\\.cpp\\.o", "(pic|mask|tex)_.*|map_displ[12]|asset_slots"},
    // Tables and resources made at the start, their contents fixed: the
    // effects' tables, the angle tables, the render resources and the
    // view geometry, the scenes' object indices.
    {"effect_tables\\.cpp\\.o", ".*"},
    {"math\\.cpp\\.o", "sin_table|cos_table"},
    {"render_resources\\.cpp\\.o",
     "sphere_table|texture_table|texture_count|view_.*|depth_buffer_bytes|id_buffer_bytes"},
    {"scenes\\.cpp\\.o", "obj_.*"},
    // Scratch that a render or a model read writes before it reads.
    {"fillers\\.cpp\\.o", "fill_context"},
    {"render\\.cpp\\.o", "corner_batch|entry_corners|face_batch|rounded_points|vertex_shades"},
    {"model\\.cpp\\.o", "model_entry|model_entry_size|model_position"},
    // The display and its scaler, set up before the show's first frame.
    {"surface\\.cpp\\.o", "surface_back|surface_primary|surface_failing_locks"},
    {"scaler\\.cpp\\.o", ".*"},
    {"display\\.cpp\\.o", ".*"},
    // No part of a frame: the options and settings, the live loop, the
    // seeking machinery (with the tables the kept-state checks compare to),
    // the module player (the song is kept as its place)
    // and the running song's handle and share.
    {"(settings|command_line|stop_signal|show)\\.cpp\\.o", ".*"},
    {"(demo_run|fps_text|watch)\\.cpp\\.o", ".*"},
    {"(catch_up|keep_ahead|kept_states|kept_check)\\.cpp\\.o", ".*"},
    {"(module_player|show_song)\\.cpp\\.o", ".*"},
};

struct Variable {
    std::string unit; // the object file, "timeline.cpp.o"
    std::string name;
};

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    const size_t last = text.find_last_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// nm -A -f sysv lines: "LIB.a:UNIT.o:NAME |value|class|type|size|line|section".
std::vector<Variable> writable_variables() {
    const std::string command =
        std::string(VORN_NM) + " -A -C -f sysv --defined-only " + VORN_STATE_LIBRARIES;
    std::vector<Variable> found;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return found;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        const std::string line = buffer;
        const size_t archive_end = line.find(".a:");
        const size_t unit_end =
            archive_end == std::string::npos ? std::string::npos : line.find(':', archive_end + 3);
        const size_t name_end = line.find('|');
        const size_t section_start = line.rfind('|');
        if (unit_end == std::string::npos || name_end == std::string::npos || name_end < unit_end)
            continue;
        const std::string section =
            trimmed(line.substr(section_start + 1, line.size() - section_start - 2));
        const bool writable = (section.rfind(".data", 0) == 0 || section.rfind(".bss", 0) == 0) &&
                              section.find(".rel.ro") == std::string::npos;
        if (!writable) continue;
        found.push_back({line.substr(archive_end + 3, unit_end - archive_end - 3),
                         trimmed(line.substr(unit_end + 1, name_end - unit_end - 1))});
    }
    pclose(pipe);
    return found;
}

bool known(const Variable& variable) {
    for (const Known& entry : known_fixed)
        if (std::regex_match(variable.unit, std::regex(entry.unit)) &&
            std::regex_match(variable.name, std::regex(entry.name)))
            return true;
    return false;
}

// "director/timeline.cpp" -> "timeline.cpp.o"
std::string unit_of(const char* owner) {
    const std::string path = owner;
    return path.substr(path.rfind('/') + 1) + ".o";
}

} // namespace

TEST(ShowState, EveryWritableVariableIsCataloguedOrKnownFixed) {
    const std::vector<Variable> variables = writable_variables();
    ASSERT_GT(variables.size(), 100u) << "nm gave nothing: " << VORN_NM;
    std::map<std::string, std::string> catalogued; // name -> owner's unit
    for (size_t i = 0; i < show_state_piece_count; i++)
        catalogued[show_state_pieces[i].name] = unit_of(show_state_pieces[i].owner);
    std::set<std::string> seen;
    for (const Variable& variable : variables) {
        const auto row = catalogued.find(variable.name);
        if (row != catalogued.end() && row->second == variable.unit) {
            seen.insert(variable.name);
            continue;
        }
        EXPECT_TRUE(known(variable))
            << variable.name << " (" << variable.unit
            << ") is writable program-wide state in no row of the show's state catalogue "
               "(presentation/seeking/show_state.cpp): add it there, or to known_fixed here "
               "when it is fixed once the show has started";
    }
    // Each row names a variable of its owner that is there.
    for (const auto& [name, unit] : catalogued)
        EXPECT_TRUE(seen.count(name))
            << name << " is in the catalogue, but not a variable of " << unit;
}

// Sizes as the table gives them: each piece saves at least its bytes, and
// restores from what it saved.
TEST(ShowState, EachPieceSavesItsBytesAndLoadsThemBack) {
    for (size_t i = 0; i < show_state_piece_count; i++) {
        const ShowStatePiece& piece = show_state_pieces[i];
        if (piece.name == std::string("surface_virtual1")) continue; // needs a display
        Bytes bytes;
        piece.save(&bytes);
        EXPECT_GE(bytes.size(), piece.size()) << piece.name << ": " << piece.what;
        Reader in{bytes.data(), bytes.size()};
        EXPECT_TRUE(piece.load(&in) && in.left == 0) << piece.name << ": " << piece.what;
        Bytes shorter(bytes.begin(), bytes.end() - (bytes.empty() ? 0 : 1));
        Reader short_in{shorter.data(), shorter.size()};
        if (!bytes.empty()) {
            EXPECT_FALSE(piece.load(&short_in) && short_in.left == 0)
                << piece.name << ": " << piece.what;
        }
    }
}
