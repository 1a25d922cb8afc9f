// velora-peer between real processes: the picture of a known scene matches the
// checked-in reference, edits show in the next picture, and a creator
// killed in the middle of its writing costs the peer its link, not its life, and
// leaves nothing in /dev/shm.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "link/channel_layout.h"
#include "platform/shared_memory.h"
#include "platform/utf.h"
#include "png_file.h"
#include "support/child_process.h"
#include "support/test_environment.h"

namespace {

using vantro::test::ChildProcess;
namespace fs = std::filesystem;

// The mean absolute difference per channel (0..255) and the share of pixels with a
// channel more than 48 apart.
std::pair<double, double> compare(const vantro::peer::Image& a, const vantro::peer::Image& b) {
    double mean = 0;
    size_t far = 0;
    for (size_t i = 0; i < a.rgba.size(); i += 4) {
        int worst = 0;
        for (size_t k = 0; k < 3; ++k) {
            const int diff = std::abs(int(a.rgba[i + k]) - int(b.rgba[i + k]));
            mean += diff;
            worst = std::max(worst, diff);
        }
        far += worst > 48 ? 1 : 0;
    }
    const double pixels = double(a.rgba.size() / 4);
    return {mean / (pixels * 3), double(far) / pixels};
}

// Pixels clearly of one hue: channel c over both others by margin.
size_t countHue(const vantro::peer::Image& image, size_t c, int margin) {
    size_t n = 0;
    for (size_t i = 0; i < image.rgba.size(); i += 4)
        n += image.rgba[i + c] > image.rgba[i + (c + 1) % 3] + margin &&
             image.rgba[i + c] > image.rgba[i + (c + 2) % 3] + margin;
    return n;
}

class PeerProcessTest : public ::testing::Test {
protected:
    std::unique_ptr<ChildProcess> startPeer(const std::string& size, int listenMs) {
        fs::create_directories(out_);
        auto peer = std::make_unique<ChildProcess>(
            VELORA_PEER_PATH,
            std::vector<std::string>{"--listen", std::to_string(listenMs), "--preview", out_.string(), "--size", size});
        EXPECT_NE(peer->waitForLine("READY"), "");
        return peer;
    }

    std::unique_ptr<ChildProcess> startCreator(std::vector<std::string> edits) {
        edits.insert(edits.begin(), {name_, (out_ / "floor.bmp").string()});
        return std::make_unique<ChildProcess>(SCENE_CREATOR_CHILD_PATH, edits);
    }

    vantro::test::TestEnvironment environment_;
    const fs::path out_ = fs::path(environment_.root()) / "out";
    const std::string name_ = vantro::platform::toUtf8(vantro::test::uniqueName("scene"));
};

// The first picture is the known scene as the reference shows it: red box, textured
// two-sided panel, textured floor, from the sent camera. A recolour turns the box green in the next
// picture; a removed record leaves the mirror; closing the link releases it.
TEST_F(PeerProcessTest, KnownSceneAndItsEdits) {
    auto peer = startPeer("320x180", 30000);
    auto creator = startCreator({"recolour", "drop", "quit"});
    ASSERT_NE(creator->waitForLine("SCENE"), "");
    const std::string first = peer->waitForLine("PICTURE n=1 ");
    ASSERT_NE(first, "") << peer->output();
    EXPECT_NE(peer->output().find("MIRROR materials=3 textured=2 triangles=18 camera=perspective read=3/2/3"),
              std::string::npos)
        << peer->output();

    const vantro::peer::Image picture = vantro::peer::readPng((out_ / "picture-0001.png").string());
    const std::string referencePath = std::string(PEER_TEST_DATA_DIR) + "/known-scene.png";
    const vantro::peer::Image reference = vantro::peer::readPng(referencePath);
    ASSERT_FALSE(reference.empty()) << "missing " << referencePath;
    ASSERT_EQ(picture.width, reference.width);
    ASSERT_EQ(picture.height, reference.height);
    const auto [meanChannel, farPixels] = compare(picture, reference);
    EXPECT_LT(meanChannel, 3.0);
    EXPECT_LT(farPixels, 0.01) << "the picture is in " << out_;

    ASSERT_NE(peer->waitForLine("PICTURE n=2 "), "") << peer->output();
    const vantro::peer::Image recoloured = vantro::peer::readPng((out_ / "picture-0002.png").string());
    EXPECT_GT(countHue(picture, 0, 80), 500u);
    EXPECT_GT(countHue(recoloured, 1, 60), 500u);
    EXPECT_LT(countHue(recoloured, 0, 80), countHue(picture, 0, 80) / 10);

    ASSERT_NE(peer->waitForLine("MIRROR materials=2 "), "") << peer->output();
    ASSERT_NE(creator->waitForLine("DONE quit"), "");
    EXPECT_NE(peer->waitForLine("RELEASED"), "") << peer->output();
    EXPECT_EQ(creator->wait(), 0);
}

// A creator killed with SIGKILL while it rewrites geometry under the lock: the peer
// reports the lost link, keeps running to its normal end and, as the last holder,
// removes the channel and every buffer from /dev/shm.
TEST_F(PeerProcessTest, CreatorKilledMidCycle) {
    auto peer = startPeer("64x36", 6000);
    auto creator = startCreator({"churn"});
    ASSERT_NE(creator->waitForLine("CHURNING"), "");
    ASSERT_NE(peer->waitForLine("PICTURE n=4 "), "") << peer->output();
    const int creatorPid = creator->pid();
    creator->kill(9);
    creator->wait();
    const std::string released = peer->waitForLine("RELEASED");
    EXPECT_TRUE(released.find("reason=creator-gone") != std::string::npos ||
                released.find("reason=broken") != std::string::npos)
        << peer->output();
    EXPECT_EQ(peer->wait(), 0) << peer->output();
    EXPECT_NE(peer->output().find("EXIT"), std::string::npos);

    const std::string channel =
        vantro::platform::SharedMemory::posixName(VantroAPI::mappingName(vantro::platform::fromUtf8(name_))).substr(1);
    std::string buffers = vantro::platform::SharedMemory::posixName(VantroAPI::bufferName(creatorPid, 1)).substr(1);
    buffers = buffers.substr(0, buffers.size() - 8);  // the part before the id
    for (const auto& entry : fs::directory_iterator(vantro::platform::SharedMemory::directory())) {
        const std::string file = entry.path().filename().string();
        EXPECT_NE(file, channel);
        EXPECT_NE(file.rfind(buffers, 0), 0u) << file;
    }
}

}  // namespace
