// The main job's story, resources/samples/showroom-story.txt, through real processes:
// vantro-host with the plug-in edits the bundled showroom step by step while
// velora-peer mirrors it. After each step the peer's OBJ output and the camera of its
// channel summary must agree with what an independent reading of the document and of
// the step's commands predicts (story_model.h), and the step's picture must differ
// from the previous one exactly when the prediction changed. Needs node and rhino3dm
// for reading the .3dm file.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "png_file.h"
#include "sdk/io/import_3dm.h"
#include "story_model.h"
#include "support/child_process.h"
#include "support/outside_data.h"
#include "support/test_environment.h"

namespace {

using namespace vantro::test;
namespace fs = std::filesystem;

const fs::path kSamples = fs::path(VANTRO_SOURCE_DIR) / "resources/samples";
// Process tests run slowly under sanitizers: waits are generous and never asserted.
constexpr int kStepMs = 120000;

std::string fileText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool readDocument(const fs::path& path, vantro::docio::DocumentData& data, std::string& why) {
    const vantro::docio::Converted3dm converted = vantro::docio::convert3dmToJson(path.string());
    if (!converted.ok) {
        why = converted.error;
        return false;
    }
    const vantro::docio::ParseOutcome parsed = vantro::docio::parseDocument(converted.json, data, converted.binary());
    why = parsed.error;
    return parsed.ok;
}

// vantro-host reading its commands from a pipe, so that the test can wait between them.
class HostSession {
public:
    HostSession(const fs::path& document, const fs::path& pipe) {
        std::signal(SIGPIPE, SIG_IGN);  // a host that died is reported by its exit status
        if (mkfifo(pipe.c_str(), 0600) != 0)
            throw std::runtime_error("mkfifo failed");
        process_ = std::make_unique<ChildProcess>(
            "/bin/sh", std::vector<std::string>{"-c", "exec \"$0\" \"$1\" --plugin \"$2\" < \"$3\"", VANTRO_HOST_PATH,
                                                document.string(), VANTRO_PLUGIN_PATH, pipe.string()});
        fd_ = open(pipe.c_str(), O_WRONLY);
    }
    ~HostSession() {
        if (fd_ >= 0)
            close(fd_);
    }

    void send(const std::string& text) {
        for (size_t done = 0; fd_ >= 0 && done < text.size();) {
            const ssize_t n = write(fd_, text.data() + done, text.size() - done);
            if (n <= 0)
                return;
            done += size_t(n);
        }
    }

    // Sends the last lines, ends the input and waits for the host to exit.
    int finish(const std::string& text) {
        send(text);
        close(fd_);
        fd_ = -1;
        return process_->wait(kStepMs);
    }

    ChildProcess& process() { return *process_; }

private:
    std::unique_ptr<ChildProcess> process_;
    int fd_ = -1;
};

// Waits until the peer has said nothing for a while, so that a step starts after the
// previous one's last wake-up.
void letPeerSettle(ChildProcess& peer) {
    for (size_t before = SIZE_MAX; before != peer.output().size();) {
        before = peer.output().size();
        peer.waitForLine("\x01 never printed", 500);
    }
}

int pictureNumber(const std::string& line) {
    const size_t at = line.find("PICTURE n=");
    return at == std::string::npos ? 0 : std::atoi(line.c_str() + at + 10);
}

int lastPictureNumber(const std::string& output) {
    const size_t at = output.rfind("PICTURE n=");
    return at == std::string::npos ? 0 : pictureNumber(output.substr(at));
}

// One wake-up as the peer showed it: its picture, and the mirror read back from the
// OBJ it wrote then and the channel summary printed before it.
struct WakeUp {
    int number = 0;
    std::string picture;
    MirrorView mirror;
};

// The next wake-up after picture number `after`; false when none comes in time.
bool nextWakeUp(ChildProcess& peer, const fs::path& obj, int after, WakeUp& wakeUp, std::string& why) {
    for (;;) {
        const std::string line = peer.waitForLine("PICTURE n=", kStepMs);
        if (line.empty()) {
            why = "no further picture";
            return false;
        }
        if (pictureNumber(line) <= after)
            continue;
        if (peer.waitForLine("OBJ file=", kStepMs).empty()) {
            why = "no OBJ after " + line;
            return false;
        }
        wakeUp = {};
        wakeUp.number = pictureNumber(line);
        const std::string& out = peer.output();
        const size_t pictureAt = out.find(line);
        const size_t summaryAt = out.rfind("\n{", pictureAt);
        if (summaryAt != std::string::npos)
            readSummaryCamera(out.substr(summaryAt + 1, out.find('\n', summaryAt + 1) - summaryAt - 1), wakeUp.mirror);
        const size_t file = line.find("file=");
        wakeUp.picture = line.substr(file + 5, line.find(' ', file) - file - 5);
        return readObjMirror(obj.string(), wakeUp.mirror, why);
    }
}

// The share of pixels that differ clearly between two pictures of one size.
double changedShare(const vantro::peer::Image& a, const vantro::peer::Image& b) {
    if (a.width != b.width || a.height != b.height || a.rgba.size() != b.rgba.size() || a.rgba.empty())
        return 1.0;
    size_t changed = 0;
    for (size_t i = 0; i < a.rgba.size(); i += 4) {
        for (size_t c = 0; c < 3; ++c) {
            if (std::abs(int(a.rgba[i + c]) - int(b.rgba[i + c])) > 24) {
                ++changed;
                break;
            }
        }
    }
    return double(changed) / double(a.rgba.size() / 4);
}

// The picture of an empty mirror is one colour: the share of pixels unlike the corner.
double drawnShare(const vantro::peer::Image& image) {
    vantro::peer::Image background = image;
    for (size_t i = 0; i < background.rgba.size(); ++i)
        background.rgba[i] = image.rgba[i % 4];
    return changedShare(image, background);
}

TEST(DemoStory, ThePredictionOfTheSampleCountsWhatItHolds) {
    VANTRO_SKIP_WITHOUT_3DM_READER();
    vantro::docio::DocumentData data;
    std::string why;
    ASSERT_TRUE(readDocument(kSamples / "showroom.3dm", data, why)) << why;
    StoryModel model(data);
    // 262 triangles: the open floor and glass pane twice (2 x 2 each), four stools of
    // five closed boxes (240), the pyramid's 6 and the wedge's 8; the hidden column and
    // the crate on the switched-off layer none.
    MirrorView view = model.predict();
    int triangles = 0;
    for (const auto& [name, m] : view.materials)
        triangles += m.triangles;
    EXPECT_EQ(triangles, 262);
    EXPECT_EQ(view.materialCount, 6u);
    EXPECT_EQ(view.materials.at("Material-Brass").triangles, 48);  // the four seats
    EXPECT_EQ(view.materials.at("Material-Floor_tiles").diffuse[0], 1.0);
    // The floor lies at height 0 from (0, 0) to (4, 3) metres; the renderer's y is up.
    const Bounds& floor = view.materials.at("Material-Floor_tiles").bounds;
    EXPECT_DOUBLE_EQ(floor.hi[0], 4.0);
    EXPECT_DOUBLE_EQ(floor.hi[1], 0.0);
    EXPECT_DOUBLE_EQ(floor.hi[2], 3.0);

    EXPECT_TRUE(model.apply("Layer Set Furniture visible=off", why)) << why;
    EXPECT_EQ(model.predict().materials.size(), 1u) << "only the floor is left";
    EXPECT_FALSE(model.apply("Rotate wedge 90", why));
    EXPECT_FALSE(model.apply("Units meters scale=off", why));
    EXPECT_FALSE(model.apply("Move nothing-of-that-name 1,0,0", why));
}

TEST(DemoStory, EachStepReachesThePeerAsTheDocumentPredicts) {
    VANTRO_SKIP_WITHOUT_3DM_READER();
    const std::vector<StoryStep> steps = parseStory(fileText(kSamples / "showroom-story.txt"));
    ASSERT_GE(steps.size(), 2u);
    TestEnvironment environment;
    const fs::path root = environment.root(), document = root / "showroom.3dm", obj = root / "mirror.obj";
    fs::copy_file(kSamples / "showroom.3dm", document);
    fs::copy_file(kSamples / "showroom-tiles.bmp", root / "showroom-tiles.bmp");
    vantro::docio::DocumentData data;
    std::string why;
    ASSERT_TRUE(readDocument(document, data, why)) << why;
    StoryModel model(data);

    ChildProcess peer(VELORA_PEER_PATH, {"--listen", "600000", "--preview", (root / "pictures").string(), "--size",
                                         "320x180", "--obj", obj.string(), "--dump"});
    ASSERT_NE(peer.waitForLine("READY", kStepMs), "");
    HostSession host(document, root / "host.in");
    MirrorView before;
    vantro::peer::Image previous;
    for (size_t n = 0; n < steps.size(); ++n) {
        SCOPED_TRACE("step " + std::to_string(n + 1) + ": " + steps[n].title);
        letPeerSettle(peer);
        const int seen = lastPictureNumber(peer.output());
        std::string text;
        for (const std::string& line : steps[n].lines) {
            ASSERT_TRUE(model.apply(line, why)) << why;
            text += line + "\n";
        }
        const std::string marker = "step " + std::to_string(n + 1) + " sent";
        host.send(text + "Print " + marker + "\n");
        ASSERT_NE(host.process().waitForLine(marker, kStepMs), "") << host.process().output();
        const MirrorView expected = model.predict();

        // The peer may wake more than once for a step; the last state must match.
        WakeUp wakeUp;
        std::string mismatch = "no wake-up";
        for (int after = seen; nextWakeUp(peer, obj, after, wakeUp, why); after = wakeUp.number) {
            mismatch = differences(expected, wakeUp.mirror);
            if (mismatch.empty())
                break;
        }
        ASSERT_EQ(mismatch, "") << why << "\n" << host.process().output();

        const vantro::peer::Image picture = vantro::peer::readPng(wakeUp.picture);
        ASSERT_FALSE(picture.empty()) << wakeUp.picture;
        if (n == 0) {
            EXPECT_GT(drawnShare(picture), 0.1) << "the opened showroom fills a good part of the picture";
        } else if (differences(before, expected).empty()) {
            EXPECT_LT(changedShare(previous, picture), 0.005) << "nothing visible changed, the picture should not";
        } else {
            EXPECT_GT(changedShare(previous, picture), 0.01) << "the change should show";
        }
        before = expected;
        previous = picture;
    }
    EXPECT_EQ(host.finish("Vantro Stop\nQuit\n"), 0) << host.process().output();
    EXPECT_NE(peer.waitForLine("RELEASED", kStepMs), "") << peer.output();
}

}  // namespace
