// The picture options of velora-peer: values taken as given, bad sizes refused with a
// message naming the option.

#include <gtest/gtest.h>

#include "peer_options.h"

namespace {

using namespace vantro::peer;

bool parse(std::vector<const char*> args, PeerOptions& options, std::string& error) {
    args.insert(args.begin(), "velora-peer");
    return parsePeerOptions(static_cast<int>(args.size()), args.data(), options, error);
}

// --preview, --size and --obj, and the picture size when --size is not given.
TEST(PeerPictureOptions, Values) {
    PeerOptions options;
    std::string error;
    ASSERT_TRUE(parse({"--preview", "out/pictures", "--obj", "model.obj"}, options, error)) << error;
    EXPECT_EQ(options.previewDir, "out/pictures");
    EXPECT_EQ(options.objFile, "model.obj");
    EXPECT_EQ(options.pictureWidth, 1280);
    EXPECT_EQ(options.pictureHeight, 720);
    ASSERT_TRUE(parse({"--size", "64x8192"}, options, error)) << error;
    EXPECT_EQ(options.pictureWidth, 64);
    EXPECT_EQ(options.pictureHeight, 8192);
}

TEST(PeerPictureOptions, Refusals) {
    const std::vector<std::vector<const char*>> bad = {{"--preview"},      {"--preview", ""},    {"--obj", ""},
                                                       {"--size", "640"},  {"--size", "0x480"},  {"--size", "640x8193"},
                                                       {"--size", "x480"}, {"--size", "640x-1"}, {"--size", "640X480"}};
    for (const auto& args : bad) {
        PeerOptions options;
        std::string error;
        EXPECT_FALSE(parse(args, options, error)) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_NE(error.find(args[0]), std::string::npos) << error;
    }
}

}  // namespace
