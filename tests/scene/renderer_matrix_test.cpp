// RendererMatrix: the homogeneous weight of a document transformation, which the
// oracle's exact placements never have. (Placements, axes and normal matrices are
// compared with the oracle in scene_sync_process_test.cpp.)

#include "scene/renderer_matrix.h"

#include <gtest/gtest.h>

#include "sdk/geometry/on_xform.h"

using namespace vantro::scene;

// m[3][3] = 2 divides every entry (before the translation is scaled); 0 leaves them.
TEST(RendererMatrix, DividesByTheHomogeneousWeight) {
    ON_Xform x = ON_Xform::TranslationTransformation(4, 6, 8);
    x.m_xform[3][3] = 2.0;
    RendererMatrix r = ToRendererMatrix(&x, 0.5f);
    EXPECT_EQ(r.at(0, 0), 0.5f);
    EXPECT_EQ(r.at(3, 0), 4.0f / 2.0f * 0.5f);
    EXPECT_EQ(r.at(3, 1), 8.0f / 2.0f * 0.5f);  // document z becomes renderer y
    EXPECT_EQ(r.at(3, 2), 6.0f / 2.0f * 0.5f);
    EXPECT_EQ(r.at(3, 3), 1.0f);
    x.m_xform[3][3] = 0.0;
    r = ToRendererMatrix(&x, 1.0f);
    EXPECT_EQ(r.at(0, 0), 1.0f);
    EXPECT_EQ(r.at(3, 0), 4.0f);
    EXPECT_EQ(ToRendererMatrix(nullptr, 3.0f), RendererMatrix::Identity());
}
