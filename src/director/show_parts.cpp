// The table of the show's parts, the rows its script waits for, and the two
// look-ups over the parts.
#include "director/show_parts.h"

#include <cstring>

const PartRange show_parts[PART_COUNT] = {
    {0, 1, "logo", "logo"},
    {2, 3, "presents over the plasma", "presents"},
    {4, 5, "title words", "title"},
    {6, 6, "title fade", "title-fade"},
    {7, 15, "cube frames", "cubes"},
    {16, 16, "cube frames, camera into the fog", "cubes-fog"},
    {17, 26, "greetings and interludes", "greetings"},
    {27, 28, "tunnel", "tunnel"},
    {29, 34, "figure over the texture", "figure"},
    {35, 38, "morph and dot cells", "morph"},
    {39, 41, "end picture", "end-picture"},
    {42, UINT32_MAX, "end of show", "end"},
};

const CueRow show_cues[CUE_COUNT] = {
    {4, 4, 5, "the first title word"},    {4, 4, 37, "the second title word"},
    {5, 5, 5, "the third title word"},    {5, 5, 33, "the fourth title word"},
    {10, 12, 57, "the last camera jolt"}, {17, 26, 32, "each interlude"},
};

ShowPart part_for_key(const char* key) {
    int part = 0;
    while (part < PART_COUNT && std::strcmp(show_parts[part].key, key) != 0) part++;
    return ShowPart(part);
}

ShowPart part_for_order(uint32_t order) {
    int part = 0;
    while (order > show_parts[part].last_order) part++;
    return ShowPart(part);
}
