// PNG files of frames, for --frames and for people looking at test output.
#pragma once

#include <cstdint>
#include <string>

// Writes width x height pixels 0x00RRGGBB (rows top to bottom, no gaps) as an
// 8-bit RGB PNG. Returns 1, or 0 when the file cannot be written.
int write_png(const std::string& path, const uint32_t* pixels, int width, int height);
