// CRhinoFileUtilities::FindFile: finding a document's texture after it moved.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sdk_test_support.h"
#include "support/test_environment.h"

using namespace vantro::sdktest;
namespace fs = std::filesystem;

namespace {

void touch(const fs::path& p) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
}

ON_wString w(const fs::path& p) { return ON_wString::FromUtf8(p.string()); }

}  // namespace

// The search tries the full path (Windows separators accepted), the relative path and
// the file name beside the document, then the search paths.
TEST(FindFile, SearchOrder) {
    vantro::test::TestEnvironment env;
    const fs::path root = env.root();
    CRhinoDoc doc;
    doc.SetPathName(w(root / "project" / "house.3dm"));
    touch(root / "project" / "maps" / "wood.jpg");
    touch(root / "project" / "stone.png");
    touch(root / "library" / "metal.png");
    touch(root / "direct" / "tile.png");
    RhinoApp().AppSettings().FileSettings().SetSearchPaths({w(root / "library")});

    ON_wString found;
    ON_wString backslashed = w(root / "direct" / "tile.png");
    backslashed.Replace(u'/', u'\\');
    ON_FileReference full = ON_FileReference::CreateFromFullPath(backslashed);
    ASSERT_TRUE(CRhinoFileUtilities::FindFile(doc.RuntimeSerialNumber(), full, found));
    EXPECT_EQ(found, w(root / "direct" / "tile.png"));

    ON_FileReference relative = ON_FileReference::CreateFromFullPath(u"C:\\old\\maps\\wood.jpg");
    relative.SetRelativePath(u"maps\\wood.jpg");
    ASSERT_TRUE(CRhinoFileUtilities::FindFile(doc.RuntimeSerialNumber(), relative, found));
    EXPECT_EQ(found, w(root / "project" / "maps" / "wood.jpg"));

    ASSERT_TRUE(CRhinoFileUtilities::FindFile(doc.RuntimeSerialNumber(), u"D:\\elsewhere\\stone.png", found));
    EXPECT_EQ(found, w(root / "project" / "stone.png"));
    ASSERT_TRUE(CRhinoFileUtilities::FindFile(doc.RuntimeSerialNumber(), u"D:\\elsewhere\\metal.png", found));
    EXPECT_EQ(found, w(root / "library" / "metal.png"));

    EXPECT_FALSE(CRhinoFileUtilities::FindFile(doc.RuntimeSerialNumber(), u"D:\\nowhere\\gone.png", found));
    EXPECT_TRUE(found.IsEmpty());
    EXPECT_FALSE(CRhinoFileUtilities::FindFile(doc.RuntimeSerialNumber(), ON_FileReference(), found));
    // A folder is not a file.
    EXPECT_FALSE(CRhinoFileUtilities::FindFile(doc.RuntimeSerialNumber(), w(root / "project" / "maps").Array(), found));
    RhinoApp().AppSettings().FileSettings().SetSearchPaths({});
}
