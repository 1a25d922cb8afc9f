// Documents whose numeric arrays travel in a binary companion: read like text, every
// reference bounded by the companion's size, and a companion of the wrong size or a
// reference without one refused with the place named.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "sdk/io/document_parser.h"

namespace {

using vantro::docio::DocumentData;
using vantro::docio::parseDocument;

template <typename T>
void append(std::string& bytes, const std::vector<T>& values) {
    while (bytes.size() % 8)
        bytes.push_back('\0');
    bytes.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
}

// A triangle whose vertices (float32) and face (int32) are in the companion.
std::string triangleDocument(const std::string& vertices, const std::string& faces, size_t bytes) {
    return R"({"format": "vantro-document", "version": 1, "binary": {"bytes": )" + std::to_string(bytes) +
           R"(}, "objects": [{"id": "3f2a9c1e-0b6a-4b2f-a481-518c6f9602e5", "type": "mesh", "mesh": {"vertices": )" +
           vertices + R"(, "faces": )" + faces + "}}]}";
}

std::string companion() {
    std::string bytes;
    append(bytes, std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0});
    append(bytes, std::vector<int32_t>{0, 1, 2, 2});
    return bytes;  // vertices at 0 (36 bytes), faces at 40
}

// Arrays read from the companion equal the numbers written there.
TEST(BinaryCompanion, ArraysReadFromTheCompanion) {
    const std::string bytes = companion();
    DocumentData d;
    const auto r =
        parseDocument(triangleDocument(R"({"binary": [0, 9]})", R"({"binary": [40, 4]})", bytes.size()), d, bytes);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(d.objects.size(), 1u);
    const ON_Mesh& m = *d.objects[0].mesh;
    ASSERT_EQ(m.VertexCount(), 3);
    EXPECT_EQ(m.m_V[1].x, 1.0f);
    EXPECT_EQ(m.m_V[2].y, 1.0f);
    ASSERT_EQ(m.FaceCount(), 1);
    EXPECT_EQ(m.m_F[0].vi[2], 2);
}

// Out-of-range references, wrong sizes and non-finite numbers are refused by name.
TEST(BinaryCompanion, HostileReferencesAreRefused) {
    const std::string bytes = companion(), vertices = R"({"binary": [0, 9]})", faces = R"({"binary": [40, 4]})";
    std::string nan = bytes, farIndex = bytes;
    const float notANumber = std::numeric_limits<float>::quiet_NaN();
    const int32_t far = 7;
    std::memcpy(nan.data() + 4, &notANumber, sizeof notANumber);
    std::memcpy(farIndex.data() + 40, &far, sizeof far);
    // Geometry from the companion is checked like the rest: a trim naming a missing edge.
    const std::string brep =
        R"({"format": "vantro-document", "version": 1, "objects": [{"id": "3f2a9c1e-0b6a-4b2f-a481-518c6f9602e5", "type": "brep",
        "brep": {"edges": [], "faces": [{"surface": {"degree": [1, 1], "count": [2, 2], "knotsU": [0, 1], "knotsV": [0, 1],
        "points": [0,0,0,1, 0,1,0,1, 1,0,0,1, 1,1,0,1]}, "loops": [{"outer": true, "trims": [3, 0]}]}]}}]})";
    const std::tuple<std::string, std::string, const char*> cases[] = {
        {triangleDocument(R"({"binary": [40, 9]})", faces, bytes.size()), bytes,
         "binary: 9 numbers at byte 40 run past the companion's 56 bytes"},
        {triangleDocument(R"({"binary": [18446744073709551615, 9]})", faces, bytes.size()), bytes,
         "offset and count must be integers"},
        {triangleDocument(R"({"binary": [0, 1099511627776]})", faces, bytes.size()), bytes, "run past"},
        {triangleDocument(R"({"binary": [0.5, 9]})", faces, bytes.size()), bytes, "must be integers"},
        {triangleDocument(vertices, faces, bytes.size()), "", "the binary companion has 0 bytes, the document says 56"},
        {triangleDocument(vertices, faces, bytes.size() + 8), bytes,
         "the binary companion has 56 bytes, the document says 64"},
        {triangleDocument(R"({"binary": [0, 8]})", faces, bytes.size()), bytes, "not a multiple of 3"},
        {triangleDocument(vertices, faces, bytes.size()), nan, "a number is not finite"},
        {triangleDocument(vertices, faces, bytes.size()), farIndex, "refers to vertex 7"},
        {brep, "", "brep: face 0: loop 0: trim 0 names edge 3 of 0"},
    };
    for (const auto& [text, companionBytes, expected] : cases) {
        DocumentData d;
        const auto r = parseDocument(text, d, companionBytes);
        EXPECT_FALSE(r.ok) << expected;
        EXPECT_NE(r.error.find(expected), std::string::npos) << r.error;
    }
}

}  // namespace
