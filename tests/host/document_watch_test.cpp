// vantro-host --watch against saves as other programs make them: renamed into place,
// rewritten in pieces, cut short, deleted and written again, in bursts. The host is
// a real process; this test is the other program. Waits are generous and never
// asserted: what is checked is what the host printed and what its document holds.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "support/child_process.h"
#include "support/test_environment.h"
#include "support/test_files.h"

namespace {

using vantro::test::readFile;
using vantro::test::writeFile;

using vantro::test::ChildProcess;
namespace fs = std::filesystem;

constexpr int kWaitMs = 60000;

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// How often text occurs in output.
size_t occurrences(const std::string& output, const std::string& text) {
    size_t n = 0;
    for (size_t at = output.find(text); at != std::string::npos; at = output.find(text, at + 1))
        ++n;
    return n;
}

class DocumentWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Three versions of one document, made by the host itself: as it starts, with
        // box A moved, and with box B hidden as well.
        const fs::path script = root() / "make.txt";
        writeFile(script, "AddBox 0,0,0 10,10,10 name=A\nAddBox 20,0,0 30,5,5 name=B\nSaveAs " +
                              (root() / "v1.json").string() + "\nMove A 0,40,0\nSaveAs " +
                              (root() / "v2.json").string() + "\nHide B\nSaveAs " + (root() / "v3.json").string() +
                              "\n");
        const auto made = vantro::test::runProgram(VANTRO_HOST_PATH, {"--script", script.string()});
        ASSERT_EQ(made.exitCode, 0) << made.output;
        for (const char* name : {"v1.json", "v2.json", "v3.json"})
            versions_.push_back(readFile(root() / name));
        document_ = root() / "model.json";
        writeFile(document_, versions_[0]);
        std::signal(SIGPIPE, SIG_IGN);
        ASSERT_EQ(mkfifo((root() / "host.in").c_str(), 0600), 0);
        host_ = std::make_unique<ChildProcess>(
            "/bin/sh",
            std::vector<std::string>{"-c", std::string("exec \"$0\" \"$1\" ") + (watch_ ? "--watch" : "") + " < \"$2\"",
                                     VANTRO_HOST_PATH, document_.string(), (root() / "host.in").string()});
        input_.open(root() / "host.in");
        ASSERT_NE(host_->waitForLine(watch_ ? "Following" : "Opened", kWaitMs), "") << host_->output();
    }

    void TearDown() override {
        if (host_) {
            input_ << "Quit" << std::endl;
            input_.close();
            EXPECT_EQ(host_->wait(kWaitMs), 0) << host_->output();
        }
    }

    fs::path root() const { return env_.root(); }

    // Renames a finished copy over the document, as most programs save.
    void saveByRename(const std::string& bytes) {
        writeFile(root() / "model.json.tmp", bytes);
        fs::rename(root() / "model.json.tmp", document_);
    }

    // Runs a command in the host and returns what it printed for it.
    std::string command(const std::string& line) {
        static int n = 0;
        const std::string marker = "done " + std::to_string(++n);
        const size_t from = host_->output().size();
        input_ << line << "\nPrint " << marker << std::endl;
        host_->waitForLine(marker, kWaitMs);
        return host_->output().substr(from);
    }

    bool watch_ = true;  // start with --watch
    vantro::test::TestEnvironment env_;
    std::vector<std::string> versions_;
    fs::path document_;
    std::unique_ptr<ChildProcess> host_;
    std::ofstream input_;
};

// The usual save: a finished copy renamed over the file, applied once.
TEST_F(DocumentWatchTest, ARenamedCopyIsApplied) {
    saveByRename(versions_[1]);
    EXPECT_NE(host_->waitForLine("Applied the save of", kWaitMs).find("1 object moved"), std::string::npos)
        << host_->output();
    EXPECT_NE(command("Info").find("Objects: 2"), std::string::npos);
}

// A file rewritten in place in several writes, paused between them, is applied once
// whole: never a version cut short.
TEST_F(DocumentWatchTest, AnInPlaceRewriteIsAppliedWhenComplete) {
    const std::string& bytes = versions_[2];
    {
        std::ofstream out(document_, std::ios::binary | std::ios::trunc);
        for (size_t at = 0; at < bytes.size(); at += bytes.size() / 4 + 1) {
            out << bytes.substr(at, bytes.size() / 4 + 1) << std::flush;
            pause(60);
        }
    }
    const std::string applied = host_->waitForLine("Applied the save of", kWaitMs);
    EXPECT_NE(applied.find("1 object moved, 1 object's attributes"), std::string::npos) << host_->output();
    EXPECT_EQ(host_->output().find("cannot be read"), std::string::npos) << host_->output();
    EXPECT_NE(command("Info").find("Hidden objects: 1"), std::string::npos);
}

// A version that does not read leaves the document as it was, with one message; the
// next good save is applied.
TEST_F(DocumentWatchTest, AnUnreadableVersionIsReportedOnceAndTheNextApplied) {
    saveByRename(versions_[1].substr(0, versions_[1].size() / 2));
    ASSERT_NE(host_->waitForLine("cannot be read", kWaitMs), "") << host_->output();
    const std::string info = command("Wait 600\nInfo");
    EXPECT_EQ(occurrences(host_->output(), "cannot be read"), 1u) << host_->output();
    EXPECT_EQ(occurrences(host_->output(), "Applied the save"), 0u) << host_->output();
    EXPECT_NE(info.find("Objects: 2"), std::string::npos) << info;
    saveByRename(versions_[2]);
    EXPECT_NE(host_->waitForLine("Applied the save of", kWaitMs).find("1 object moved, 1 object's attributes"),
              std::string::npos)
        << host_->output();
}

// A file deleted and written again: the document waits for it, then takes it.
TEST_F(DocumentWatchTest, ADeletedFileIsFollowedWhenWrittenAgain) {
    fs::remove(document_);
    ASSERT_NE(host_->waitForLine("is gone", kWaitMs), "") << host_->output();
    writeFile(document_, versions_[1]);
    EXPECT_NE(host_->waitForLine("Applied the save of", kWaitMs).find("1 object moved"), std::string::npos)
        << host_->output();
}

// Saves in quick succession end in the last one; never more applications than saves,
// and nothing of an earlier one left over.
TEST_F(DocumentWatchTest, ABurstOfSavesEndsInTheLast) {
    for (int i = 0; i < 3; ++i) {
        saveByRename(versions_[1]);
        saveByRename(versions_[2]);
    }
    ASSERT_NE(host_->waitForLine("Applied the save of", kWaitMs), "") << host_->output();
    const std::string info = command("Wait 800\nInfo");
    EXPECT_LE(occurrences(host_->output(), "Applied the save of"), 6u);
    EXPECT_NE(info.find("Hidden objects: 1"), std::string::npos) << info;
    // Saving the same version again changes nothing.
    saveByRename(versions_[2]);
    EXPECT_NE(host_->waitForLine("Applied the save of", kWaitMs).find(": no changes."), std::string::npos)
        << host_->output();
}

// Watch off stops following; Watch on follows the file from its state now.
TEST_F(DocumentWatchTest, TheWatchCommandSwitchesFollowing) {
    EXPECT_NE(command("Watch off").find("Stopped following"), std::string::npos);
    saveByRename(versions_[1]);
    EXPECT_NE(command("Wait 800\nInfo").find("Objects: 2"), std::string::npos);
    EXPECT_EQ(occurrences(host_->output(), "Applied the save"), 0u) << host_->output();
    EXPECT_NE(command("Watch").find("Not following"), std::string::npos);
    EXPECT_NE(command("Watch on").find("Following"), std::string::npos);
    saveByRename(versions_[2]);
    EXPECT_NE(host_->waitForLine("Applied the save of", kWaitMs).find("1 object moved, 1 object's attributes"),
              std::string::npos)
        << host_->output();
}

// SIGTERM ends a following host cleanly (status 0, the application closed).
TEST_F(DocumentWatchTest, AStopSignalEndsTheSessionCleanly) {
    host_->kill(SIGTERM);
    EXPECT_EQ(host_->wait(kWaitMs), 0) << host_->output();
    input_.close();
    host_.reset();
}

// A host reading its commands without --watch: Watch on, typed with more lines behind
// it, follows the file from then on while the input is still read.
class WatchCommandTest : public DocumentWatchTest {
protected:
    WatchCommandTest() { watch_ = false; }
};

TEST_F(WatchCommandTest, WatchOnFollowsWhileCommandsAreRead) {
    input_ << "Watch on\nPrint typed ahead" << std::endl;
    ASSERT_NE(host_->waitForLine("typed ahead", kWaitMs), "") << host_->output();
    saveByRename(versions_[1]);
    EXPECT_NE(host_->waitForLine("Applied the save of", kWaitMs).find("1 object moved"), std::string::npos)
        << host_->output();
    EXPECT_NE(command("Info").find("Objects: 2"), std::string::npos);
}

// Without change notification the stamp poll alone follows renames and rewrites.
class PollingWatchTest : public DocumentWatchTest {
protected:
    PollingWatchTest() : polling_("VANTRO_WATCH_POLLING", "1") {}
    vantro::test::ScopedVariable polling_;
};

TEST_F(PollingWatchTest, SavesAreFollowedByPollingAlone) {
    EXPECT_NE(host_->output().find("(polling)"), std::string::npos) << host_->output();
    saveByRename(versions_[1]);
    EXPECT_NE(host_->waitForLine("Applied the save of", kWaitMs).find("1 object moved"), std::string::npos)
        << host_->output();
    writeFile(document_, versions_[2]);
    EXPECT_NE(host_->waitForLine("Applied the save of", kWaitMs).find("1 object's attributes"), std::string::npos)
        << host_->output();
}

}  // namespace
