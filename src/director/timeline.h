// The show's script: which scene runs follows the music position.
#pragma once

// Draws the frame of the current music position into surface_virtual1 and
// blits it onto surface_back. From order 42 on it silences and stops the
// music and asks the show to close.
void director_frame();
