#include "data/assets.h"

// No asset slots exist yet: the show draws without pictures or models.
int load_all_assets() {
    return 1;
}

void free_all_assets() {}
