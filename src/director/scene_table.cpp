#include "director/scene_table.h"

#include <cstring>

const SceneRange show_scenes[SCENE_COUNT] = {
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

ShowScene scene_for_key(const char* key) {
    int scene = 0;
    while (scene < SCENE_COUNT && std::strcmp(show_scenes[scene].key, key) != 0) scene++;
    return ShowScene(scene);
}

ShowScene scene_for_order(uint32_t order) {
    int scene = 0;
    while (order > show_scenes[scene].last_order) scene++;
    return ShowScene(scene);
}
