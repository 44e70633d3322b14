// The pictures and models of the show, loaded once before it starts.
#pragma once

// Loads every asset slot. Returns 1.
int load_all_assets();
// Frees every asset slot; harmless when nothing is loaded.
void free_all_assets();
