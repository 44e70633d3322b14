// The scene table: which scene runs at which orders of the music, with a
// name for people and a one-word key for the command line.
#pragma once

#include <cstdint>

// The scenes of the show, in show order, and the orders each runs at.
enum ShowScene {
    SCENE_LOGO,
    SCENE_PRESENTS,
    SCENE_TITLE,
    SCENE_TITLE_FADE,
    SCENE_CUBES,
    SCENE_CUBES_RETREAT,
    SCENE_GREETINGS,
    SCENE_TUNNEL,
    SCENE_FIGURE,
    SCENE_MORPH,
    SCENE_END_PICTURE,
    SCENE_END_OF_SHOW,
    SCENE_COUNT
};

struct SceneRange {
    uint32_t first_order;
    uint32_t last_order;
    const char* name;
    const char* key; // one word for the command line
};

extern const SceneRange show_scenes[SCENE_COUNT];

// The first scene whose range holds order.
ShowScene scene_for_order(uint32_t order);
// The scene whose key is the given word; SCENE_COUNT for none.
ShowScene scene_for_key(const char* key);
