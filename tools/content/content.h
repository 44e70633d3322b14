// The generator of the show's default content. Each part writes its items as
// files into a folder; the build packs them into demo.qxd.
#pragma once

#include <string>

// Pictures, masks, maps, textures and the dialog picture: one raw file each.
bool write_pictures(const std::string& items_dir);
// The models (.m3d).
bool write_models(const std::string& items_dir);
// The module, written to module_path.
bool write_music(const std::string& module_path);
// One picture of every item and every model, for a person to judge.
bool write_contact_sheet(const std::string& items_dir, const std::string& png_path);

// The figure's head (models.cpp) and its texture (pic_textures.cpp) agree on
// how the head's normals lean towards the feet: a sphere normal at elevation
// e (radians, -pi/2 at the feet, +pi/2 at the crown, about the figure's axis)
// is drawn with the normal of elevation head_lean(e), which runs evenly from
// -88 degrees at the feet to -62 degrees at the crown.
constexpr double HEAD_LEAN_FEET = -88.0 * 3.14159265358979323846 / 180.0;
constexpr double HEAD_LEAN_CROWN = -62.0 * 3.14159265358979323846 / 180.0;
inline double head_lean(double e) {
    const double half_pi = 1.57079632679489661923;
    return HEAD_LEAN_FEET + (HEAD_LEAN_CROWN - HEAD_LEAN_FEET) * (e + half_pi) / (2.0 * half_pi);
}
