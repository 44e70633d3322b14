// qxpack import: items of the show made from ordinary files. Pictures, masks,
// maps and textures come from PNG, models from anything the Open Asset Import
// Library reads (OBJ, glTF, PLY, STL, ...).
#pragma once

#include "data/pack.h"

#include <string>
#include <vector>

enum ImportKind { KIND_RGB, KIND_BYTES, KIND_MODEL };

// What an item must be: a picture of width x height (3 bytes a pixel for
// KIND_RGB, 1 for KIND_BYTES), or a model with the radius that fills the frame
// where its scene shows it and the number of surfaces the scene maps.
struct ItemShape {
    ImportKind kind;
    int width, height;
    float radius;
    int surfaces;
    bool stands_on_origin; // placed by its lowest z, not its centre
    bool opacity_mask;     // a mask: 0 shows its picture, so --alpha takes 255 - alpha
};

// The shape of the named item; false for a name the show does not read.
bool item_shape(const std::string& name, ItemShape* shape);

enum FitMode { FIT_NONE, FIT_SCALE, FIT_CROP, FIT_PAD };

// A PNG file's bytes made into the item's raw bytes. False with *error set
// when the file is not a readable PNG or has the wrong size (unless fitted).
bool import_png(const uint8_t* data, size_t size, const ItemShape& shape, FitMode fit, bool alpha,
                Buffer* out, std::string* error);

struct ModelOptions {
    float radius = -1.0f; // below 0: the shape's radius; 0: the file's own units
    bool centre = false;
    // The most faces to keep (0: as many as the format holds); a model with
    // more is simplified.
    size_t faces = 0;
    unsigned read_seconds = 20; // CPU time the asset library may take
};

// What an imported model holds.
struct ModelSummary {
    size_t vertices = 0, faces = 0;
    size_t faces_read = 0; // before simplification
    double radius = 0;
    std::vector<std::string> surfaces; // names, in order
};

// A model file read by the asset library (in a child process, so that a file
// that crashes it is only an error), made into "QX3D" bytes.
bool import_model_file(const std::string& path, const ItemShape& shape, const ModelOptions& options,
                       Buffer* out, ModelSummary* summary, std::string* error);

// Our side of import_model_file: the reading process's message (its triangles
// and surface names) decoded, welded, wound, simplified, scaled and encoded.
bool import_model_message(const uint8_t* data, size_t size, const ItemShape& shape,
                          const ModelOptions& options, Buffer* out, ModelSummary* summary,
                          std::string* error);

// The morph scenes blend two models vertex by vertex, so each needs the other's
// vertex layout: the other model of the named one's pair, or none.
const char* morph_partner(const char* name);

// qxpack import FILE NAME [options]; returns the exit status.
int import_command(int argc, char** argv);
