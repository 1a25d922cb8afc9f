#pragma once
// ON_Texture: one texture of a material: its kind (bitmap, bump, transparency,
// environment), whether it is on, the image file it uses, the transformation applied
// to texture coordinates and the mapping channel that supplies them.
//
// Thread-safety: a value type.

#include "sdk/geometry/on_file_reference.h"
#include "sdk/geometry/on_uuid.h"
#include "sdk/geometry/on_xform.h"

class ON_Texture {
public:
    enum TYPE : unsigned int {
        no_texture_type = 0,
        bitmap_texture = 1,
        bump_texture = 2,
        transparency_texture = 3,
        emap_texture = 86,
    };

    enum MODE : unsigned int {
        no_texture_mode = 0,
        modulate_texture = 1,
        decal_texture = 2,
        blend_texture = 3,
    };

    ON_UUID m_texture_id;
    // Channel of the object's mapping reference that supplies texture coordinates;
    // 1 by default. 0 means the mesh's own coordinates; the plug-in also gives -14
    // and -13 meanings of its own (world projection, world box projection).
    unsigned int m_mapping_channel_id = 1;
    ON_FileReference m_image_file_reference;
    bool m_bOn = true;
    TYPE m_type = bitmap_texture;
    MODE m_mode = modulate_texture;
    double m_blend_constant_A = 1.0;
    ON_Xform m_uvw;  // applied to texture coordinates; identity by default

    // Finite transformation and a known type. Never throws.
    bool IsValid() const;
};
