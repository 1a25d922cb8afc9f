// The link name, the file name the user is shown, and the version folder of an
// install path: the texts that decide which connection and which copy a user gets.

#include <gtest/gtest.h>

#include "plugin/link_name.h"
#include "plugin/older_plugin_check.h"

using namespace vantro::plugin;

// The name is cut at the last dot of the whole path, folders included.
TEST(LinkName, ReplacesEverythingFromTheLastDot) {
    EXPECT_EQ(LinkNameFromPath(u"/home/me/house.3dm"), u"/home/me/house.dae");
    EXPECT_EQ(LinkNameFromPath(u"/home/me/house.backup.json"), u"/home/me/house.backup.dae");
    EXPECT_EQ(LinkNameFromPath(u"/p/a.b/house"), u"/p/a.dae");
    EXPECT_EQ(LinkNameFromPath(u"/p/house"), u"/p/house.dae");
    EXPECT_EQ(LinkNameFromPath(u"C:\\Work\\house.3dm"), u"C:\\Work\\house.dae");
}

// The file-in-use message names the file, not the folder, for either separator.
TEST(LinkName, FileNameIsThePartAfterTheLastSeparator) {
    EXPECT_EQ(LinkFileName(u"/home/me/house.dae"), u"house.dae");
    EXPECT_EQ(LinkFileName(u"C:\\Work\\house.dae"), u"house.dae");
    EXPECT_EQ(LinkFileName(u"house.dae"), u"house.dae");
}

// The folder above "Velora" names the version, whatever the separators; anything
// else has no version and always loads.
TEST(VersionFromInstallPath, TakesTheFolderAboveVelora) {
    EXPECT_EQ(VersionFromInstallPath(u"/opt/plug-ins/3.5.0.52/Velora/libvantro.so"), u"3.5.0.52");
    EXPECT_EQ(VersionFromInstallPath(u"C:\\Program Files\\3.5.0.52\\Velora\\vantro.rhp"), u"3.5.0.52");
    EXPECT_EQ(VersionFromInstallPath(u"/a/1.0/Velora/2.0/Velora/x.so"), u"2.0");
    EXPECT_EQ(VersionFromInstallPath(u"/opt/3.5/velora/libvantro.so"), u"");
    EXPECT_EQ(VersionFromInstallPath(u"/opt/Velora/libvantro.so"), u"opt");  // compares as 0.0.0.0
    EXPECT_EQ(VersionFromInstallPath(u"Velora/libvantro.so"), u"");
    EXPECT_EQ(VersionFromInstallPath(u"/opt/3.5/Velora"), u"");
}
