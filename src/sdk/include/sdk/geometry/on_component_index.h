#pragma once
// ON_COMPONENT_INDEX: names a part of an object's geometry (a brep face, a mesh
// vertex, ...). The default value names no component.

struct ON_COMPONENT_INDEX {
    enum TYPE : unsigned int {
        invalid_type = 0,
        brep_vertex = 1,
        brep_edge = 2,
        brep_face = 3,
        brep_trim = 4,
        brep_loop = 5,
        mesh_vertex = 11,
        meshtop_vertex = 12,
        meshtop_edge = 13,
        mesh_face = 14,
    };

    TYPE m_type = invalid_type;
    int m_index = -1;

    ON_COMPONENT_INDEX() = default;
    ON_COMPONENT_INDEX(TYPE type, int index) : m_type(type), m_index(index) {}
    bool IsSet() const { return m_type != invalid_type && m_index >= 0; }
    friend bool operator==(const ON_COMPONENT_INDEX&, const ON_COMPONENT_INDEX&) = default;
    friend bool operator<(const ON_COMPONENT_INDEX& a, const ON_COMPONENT_INDEX& b) {
        return a.m_type != b.m_type ? a.m_type < b.m_type : a.m_index < b.m_index;
    }
};
