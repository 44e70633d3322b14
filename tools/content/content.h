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
