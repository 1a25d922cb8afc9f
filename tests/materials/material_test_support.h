#pragma once
// Shared by the material tests: a live connection of our own on real shared memory,
// documents built in code, and typed reads of "SRFC" records.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "link/live_connection.h"
#include "materials/material_manager.h"
#include "link/srfc_layout.h"
#include "sdk/rhino_sdk.h"
#include "support/test_environment.h"

namespace vantro::test {

// A document and a connection, created fresh for every test.
class MaterialLinkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(link.Create(name, slots()), 0); }
    void TearDown() override { link.Close(); }
    virtual uint32_t slots() const { return 64; }

    // Adds a material to the document's table and returns its index.
    int addMaterial(const char16_t* materialName, ON_Color diffuse = ON_Color(10, 20, 30)) {
        ON_Material m;
        m.SetName(materialName);
        m.SetDiffuse(diffuse);
        return doc.m_material_table.AddMaterial(m);
    }
    const CRhinoMaterial& material(int index) { return doc.m_material_table[index]; }

    // Sends what is pending the way the worker does: under the link lock.
    void send(MaterialManager& manager) {
        ASSERT_TRUE(link.Lock(10000));
        manager.SendPending();
        link.Unlock();
    }

    const std::byte* recordOf(const MaterialInfo& info) const {
        return reinterpret_cast<const std::byte*>(info.record);
    }

    TestEnvironment env;
    std::u16string name = uniqueName("materials");
    VantroAPI::LiveConnection link;
    CRhinoDoc doc;
};

template <class T>
T field(const void* record, VantroAPI::Field<T> f) {
    return VantroAPI::load(record, f);
}

inline std::u16string text(const void* record, VantroAPI::TextField f) { return VantroAPI::loadText(record, f); }

inline bool allBytesAre(const void* record, uint32_t offset, uint32_t size, uint8_t value) {
    const auto* p = static_cast<const uint8_t*>(record) + offset;
    return std::all_of(p, p + size, [value](uint8_t b) { return b == value; });
}

}  // namespace vantro::test
