// The texts that decide which connection and which copy a user gets: the link name,
// the file name the user is shown, the version folder of an install path, and the
// link name's hash in the statistics.

#include <gtest/gtest.h>

#include "plugin/link_name.h"
#include "plugin/link_statistics.h"
#include "plugin/older_plugin_check.h"
#include "platform/utf.h"

using namespace vantro::plugin;

TEST(LinkName, NamesAndVersionFolders) {
    // The name is cut at the last dot of the whole path, folders included.
    EXPECT_EQ(LinkNameFromPath(u"/home/me/house.backup.json"), u"/home/me/house.backup.dae");
    EXPECT_EQ(LinkNameFromPath(u"/p/a.b/house"), u"/p/a.dae");
    EXPECT_EQ(LinkNameFromPath(u"/p/house"), u"/p/house.dae");
    EXPECT_EQ(LinkNameFromPath(u"C:\\Work\\house.3dm"), u"C:\\Work\\house.dae");
    // The file-in-use message names the file, not the folder, for either separator.
    for (const char16_t* path : {u"/home/me/house.dae", u"C:\\Work\\house.dae", u"house.dae"})
        EXPECT_EQ(LinkFileName(path), u"house.dae");
    // The folder above "Velora" names the version; anything else has none and loads.
    const std::pair<const char16_t*, const char16_t*> versions[] = {
        {u"/opt/plug-ins/3.5.0.52/Velora/libvantro.so", u"3.5.0.52"},
        {u"C:\\Program Files\\3.5.0.52\\Velora\\vantro.rhp", u"3.5.0.52"},
        {u"/a/1.0/Velora/2.0/Velora/x.so", u"2.0"},
        {u"/opt/3.5/velora/libvantro.so", u""},
        {u"/opt/Velora/libvantro.so", u"opt"},  // compares as 0.0.0.0
        {u"Velora/libvantro.so", u""},
        {u"/opt/3.5/Velora", u""}};
    for (const auto& [path, version] : versions)
        EXPECT_EQ(VersionFromInstallPath(path), version) << vantro::platform::toUtf8(path);
}

// A name longer than a renderer's listing takes, and a '\\' that the link reads as a
// folder separator, each get a line that says what to do; names at the limit and
// plain paths get none.
TEST(LinkName, WarningsAboutNamesARendererCannotFindOrShares) {
    EXPECT_TRUE(LinkNameWarnings(u"/home/me/house.dae").empty());
    const std::u16string atLimit = u"/" + std::u16string(254, u'a') + u".dae";
    ASSERT_EQ(atLimit.size(), 259u);
    EXPECT_TRUE(LinkNameWarnings(atLimit).empty());
    const std::vector<std::u16string> tooLong = LinkNameWarnings(u"/a" + atLimit);
    ASSERT_EQ(tooLong.size(), 1u);
    const std::string text = vantro::platform::toUtf8(tooLong[0]);
    EXPECT_NE(text.find("has 261 characters"), std::string::npos) << text;
    EXPECT_NE(text.find("shorter path"), std::string::npos) << text;
    EXPECT_EQ(text.back(), '\n');
    const std::vector<std::u16string> backslash = LinkNameWarnings(u"/home/me/a\\b.dae");
    ASSERT_EQ(backslash.size(), 1u);
    EXPECT_NE(vantro::platform::toUtf8(backslash[0]).find("Rename the file without"), std::string::npos);
}

// The Windows HashData of the UTF-16 code units as little-endian byte pairs, 8 bytes
// read little-endian. The house value is what Windows itself returns; an empty name
// leaves each byte at its own index.
TEST(LinkStatistics, HashIsWindowsHashDataOfTheUtf16Bytes) {
    EXPECT_EQ(LinkNameHash(u"C:/Work/house.dae"), 16624221560158124149ull);
    EXPECT_EQ(LinkNameHash(u""), 0x0706050403020100ull);
    EXPECT_EQ(LinkNameHash(u"a"), 4035303336184077670ull);
    EXPECT_EQ(LinkNameHash(u"/tmp/house.dae"), 12204339275102558152ull);
}
