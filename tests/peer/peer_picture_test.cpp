// velora-peer between real processes: the picture of a known scene matches the
// checked-in reference, edits show in the next picture and the OBJ, and a creator
// killed in the middle of its writing costs the peer its link, not its life, and
// leaves nothing in /dev/shm.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/channel_layout.h"
#include "platform/shared_memory.h"
#include "platform/utf.h"
#include "png_file.h"
#include "support/child_process.h"
#include "support/test_environment.h"

namespace {

using vantro::test::ChildProcess;
namespace fs = std::filesystem;

struct PictureDifference {
    double meanChannel = 0;  // mean absolute difference per channel, 0..255
    double farPixels = 0;    // fraction of pixels with a channel more than 48 apart
};

PictureDifference compare(const vantro::peer::Image& a, const vantro::peer::Image& b) {
    PictureDifference d;
    size_t far = 0;
    for (size_t i = 0; i < a.rgba.size(); i += 4) {
        int worst = 0;
        for (size_t k = 0; k < 3; ++k) {
            const int diff = std::abs(int(a.rgba[i + k]) - int(b.rgba[i + k]));
            d.meanChannel += diff;
            worst = std::max(worst, diff);
        }
        far += worst > 48 ? 1 : 0;
    }
    d.meanChannel /= double(a.rgba.size() / 4 * 3);
    d.farPixels = double(far) / double(a.rgba.size() / 4);
    return d;
}

// Pixels clearly of one hue: red (r over g and b by 80) or green (g over r and b by 60).
size_t countRed(const vantro::peer::Image& image) {
    size_t n = 0;
    for (size_t i = 0; i < image.rgba.size(); i += 4)
        n += image.rgba[i] > image.rgba[i + 1] + 80 && image.rgba[i] > image.rgba[i + 2] + 80 ? 1 : 0;
    return n;
}
size_t countGreen(const vantro::peer::Image& image) {
    size_t n = 0;
    for (size_t i = 0; i < image.rgba.size(); i += 4)
        n += image.rgba[i + 1] > image.rgba[i] + 60 && image.rgba[i + 1] > image.rgba[i + 2] + 60 ? 1 : 0;
    return n;
}

std::string readText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

size_t countLines(const std::string& text, const std::string& start) {
    size_t n = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        n += line.rfind(start, 0) == 0 ? 1 : 0;
    return n;
}

class PeerProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        out_ = fs::path(environment_.root()) / "out";
        fs::create_directories(out_);
        name_ = vantro::platform::toUtf8(vantro::test::uniqueName("scene"));
    }

    std::unique_ptr<ChildProcess> startPeer(const std::string& size, int listenMs) {
        auto peer = std::make_unique<ChildProcess>(
            VELORA_PEER_PATH, std::vector<std::string>{"--listen", std::to_string(listenMs), "--preview", out_.string(),
                                                       "--size", size, "--obj", (out_ / "scene.obj").string()});
        EXPECT_NE(peer->waitForLine("READY"), "");
        return peer;
    }

    std::unique_ptr<ChildProcess> startCreator(std::vector<std::string> edits) {
        edits.insert(edits.begin(), {name_, (out_ / "floor.bmp").string()});
        return std::make_unique<ChildProcess>(SCENE_CREATOR_CHILD_PATH, edits);
    }

    vantro::test::TestEnvironment environment_;
    fs::path out_;
    std::string name_;
};

// The first picture is the known scene as the reference shows it: red box, textured
// two-sided panel, textured floor, from the sent camera. The OBJ carries the same
// three materials and 18 triangles. A recolour turns the box green in the next
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
    const PictureDifference difference = compare(picture, reference);
    EXPECT_LT(difference.meanChannel, 3.0);
    EXPECT_LT(difference.farPixels, 0.01) << "the picture is in " << out_;

    ASSERT_NE(peer->waitForLine("OBJ file="), "") << peer->output();
    const std::string obj = readText(out_ / "scene.obj"), mtl = readText(out_ / "scene.mtl");
    EXPECT_EQ(countLines(obj, "usemtl "), 3u);
    EXPECT_EQ(countLines(obj, "f "), 18u);
    EXPECT_EQ(countLines(mtl, "map_Kd "), 2u);
    EXPECT_NE(mtl.find("floor.bmp"), std::string::npos) << mtl;

    ASSERT_NE(peer->waitForLine("PICTURE n=2 "), "") << peer->output();
    const vantro::peer::Image recoloured = vantro::peer::readPng((out_ / "picture-0002.png").string());
    EXPECT_GT(countRed(picture), 500u);
    EXPECT_GT(countGreen(recoloured), 500u);
    EXPECT_LT(countRed(recoloured), countRed(picture) / 10);

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
    for (const auto& entry : fs::directory_iterator("/dev/shm")) {
        const std::string file = entry.path().filename().string();
        EXPECT_NE(file, channel);
        EXPECT_NE(file.rfind(buffers, 0), 0u) << file;
    }
}

}  // namespace
