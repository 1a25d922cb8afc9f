// The progress meter drawn while it runs: the line's text, redrawing only on change,
// and the real program drawing on a terminal (a pseudo-terminal here) but not into a
// pipe.

#include "terminal_progress.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_environment.h"

namespace vantro::host {
namespace {

RhinoProgressMeterRun meter(int lower, int upper, const char16_t* label) {
    RhinoProgressMeterRun run;
    run.lower = lower;
    run.upper = upper;
    run.label = label;
    return run;
}

// The label loses trailing blanks; the share is whole percent of the range reached,
// clamped, and complete for an empty range.
TEST(TerminalProgressTest, LineTextIsTheLabelAndTheShareDone) {
    EXPECT_EQ(progressLineText(meter(0, 8, u"Loading\u2026 "), 3), "Loading\xe2\x80\xa6 37%");
    EXPECT_EQ(progressLineText(meter(10, 20, u"Objects"), 20), "Objects 100%");
    EXPECT_EQ(progressLineText(meter(10, 20, u"Objects"), 2), "Objects 0%");
    EXPECT_EQ(progressLineText(meter(5, 5, u""), 5), "100%");
}

// A meter stepped ten thousand times draws each percent once, in place, and wipes
// its line when it ends; a second meter draws again from its start.
TEST(TerminalProgressTest, RedrawsOnlyWhenTheLineChangesAndWipesAtTheEnd) {
    std::vector<std::string> writes;
    {
        TerminalProgress progress([&writes](std::string_view text) { writes.emplace_back(text); });
        RhinoProgressMeterRun run = meter(0, 10000, u"Step ");
        for (int i = 0; i < 10000; ++i)
            progress.show(run, i);
        ASSERT_EQ(writes.size(), 100u);
        EXPECT_EQ(writes.front(), "\rStep 0%\x1b[K");
        EXPECT_EQ(writes.back(), "\rStep 99%\x1b[K");
        run.ended = true;
        progress.show(run, 9999);
        EXPECT_EQ(writes.back(), "\r\x1b[K");
        progress.show(run, 9999);
        EXPECT_EQ(writes.size(), 101u);  // nothing left to wipe

        const RhinoProgressMeterRun second = meter(0, 2, u"Again");
        progress.show(second, 0);
        EXPECT_EQ(writes.back(), "\rAgain 0%\x1b[K");
    }
    EXPECT_EQ(writes.back(), "\r\x1b[K");  // the line still shown is wiped at the end
}

// What the child wrote to its standard error, and how it ended.
struct ChildRun {
    int status = -1;
    std::string errorOutput;
};

// Reads fd until the writer side is gone (EIO on a terminal's master, end of a pipe).
std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, 60000) <= 0)
            break;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0)
            text.append(buffer, static_cast<size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    return text;
}

// Runs vantro-host with args, its standard error on a pseudo-terminal or a pipe and
// its standard output discarded.
ChildRun runHost(const std::vector<std::string>& args, bool onTerminal) {
    int reader = -1;
    int writer = -1;
    if (onTerminal) {
        if (openpty(&reader, &writer, nullptr, nullptr, nullptr) != 0)
            return {};
    } else {
        int ends[2];
        if (pipe(ends) != 0)
            return {};
        reader = ends[0];
        writer = ends[1];
    }
    std::vector<std::string> argv{VANTRO_HOST_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int nothing = open("/dev/null", O_RDWR);
        dup2(nothing, STDIN_FILENO);
        dup2(nothing, STDOUT_FILENO);
        dup2(writer, STDERR_FILENO);
        close(reader);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    close(writer);
    ChildRun run;
    run.errorOutput = readAll(reader);
    close(reader);
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    return run;
}

class TerminalProgressHostTest : public ::testing::Test {
protected:
    vantro::test::TestEnvironment env;
    std::vector<std::string> exportArgs() const {
        return {"export", std::string(VANTRO_SAMPLES_DIR) + "/living-room.json", "-o", env.root() + "/room.dae"};
    }
};

// An export with standard error on a terminal shows the material meter as it runs and
// leaves the line wiped; the file is written all the same.
TEST_F(TerminalProgressHostTest, ExportDrawsTheMeterOnATerminal) {
    const ChildRun run = runHost(exportArgs(), true);
    ASSERT_EQ(run.status, 0) << run.errorOutput;
    EXPECT_NE(run.errorOutput.find("\rVelora Vantro: loading materials\xe2\x80\xa6 0%\x1b[K"), std::string::npos)
        << run.errorOutput;
    EXPECT_GE(run.errorOutput.size(), 4u);
    EXPECT_EQ(run.errorOutput.substr(run.errorOutput.size() - 4), "\r\x1b[K") << run.errorOutput;
    EXPECT_TRUE(std::filesystem::exists(env.root() + "/room.dae"));
}

// Into a pipe nothing is drawn: the export writes nothing at all to standard error.
TEST_F(TerminalProgressHostTest, ExportDrawsNothingIntoAPipe) {
    const ChildRun run = runHost(exportArgs(), false);
    ASSERT_EQ(run.status, 0) << run.errorOutput;
    EXPECT_EQ(run.errorOutput, "");
    EXPECT_TRUE(std::filesystem::exists(env.root() + "/room.dae"));
}

}  // namespace
}  // namespace vantro::host
