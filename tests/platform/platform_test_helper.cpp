// A second process for the platform tests: each sub-command does one thing with the
// platform layer and prints what it saw on stdout, one fact per line, so that the
// tests can assert what another process observed.
//
//   shm-create <name> <size> <fillByte> <releaseFile>
//   shm-open <name> <writeOffset> <writeByte>
//   shm-exists <name>
//   shm-stress <controlName> <nameCount> <iterations> <seed>
//   reg-hammer <path> <writer> <count>
//   window-publish <class> <title> <expectedMessages> <releaseFile|->   (class FOREGROUND: also in front)
//   launch-probe <outFile> <args...>
//   sigbus-foreign <name> <scratchFile> <own|none>

#include "platform/registry.h"
#include "platform/shared_memory.h"
#include "platform/utf.h"
#include "platform/window.h"
#include "shm_stress.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace vantro::platform;

namespace {

void say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string str(uint64_t value) { return std::to_string(value); }

// Waits until path exists; the tests create it to let the helper go on.
void waitForFile(const std::string& path) {
    struct stat info {};
    for (int i = 0; i < 12000 && ::stat(path.c_str(), &info) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

int shmCreate(char** argv) {
    SharedMemory memory;
    ShmResult result = SharedMemory::create(fromUtf8(argv[0]), std::strtoull(argv[1], nullptr, 10), memory);
    const char* names[] = {"ok", "alreadyExists", "notFound", "failed"};
    say(std::string("result ") + names[static_cast<int>(result)]);
    if (result != ShmResult::ok)
        return 1;
    std::memset(memory.data(), std::atoi(argv[2]), memory.size());
    say("ready");
    waitForFile(argv[3]);
    return 0;
}

int shmOpen(char** argv) {
    SharedMemory memory;
    if (SharedMemory::open(fromUtf8(argv[0]), memory) != ShmResult::ok) {
        say("result notFound");
        return 1;
    }
    auto* bytes = static_cast<unsigned char*>(memory.data());
    size_t same = static_cast<size_t>(std::count(bytes, bytes + memory.size(), bytes[0]));
    say("result ok\nsize " + str(memory.size()) + " first " + str(bytes[0]) + " same " + str(same));
    size_t offset = std::strtoull(argv[1], nullptr, 10);
    if (offset < memory.size())
        bytes[offset] = static_cast<unsigned char>(std::atoi(argv[2]));
    return 0;
}

// Reports the "text" value the test wrote, then writes self-checking values into the
// key from several processes at once: each "shared" value is 1024 bytes that carry
// their writer and round, so a torn or mixed value shows; each writer also counts
// its rounds in its own DWORD.
int regHammer(char** argv) {
    RegistryKey key;
    if (RegistryKey::create(RegHive::currentUser, fromUtf8(argv[0]), key) != kErrorSuccess)
        return 2;
    RegType type = RegType::none;
    std::vector<uint8_t> read;
    long result = key.queryValue(u"text", &type, &read);
    std::string hex;
    for (uint8_t b : read)
        hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
    say("text type " + str(result == kErrorSuccess ? static_cast<uint32_t>(type) : 99) + " data " + hex);
    uint32_t writer = static_cast<uint32_t>(std::atoi(argv[1]));
    int errors = 0, torn = 0;
    for (int i = 0, count = std::atoi(argv[2]); i < count; ++i) {
        std::vector<uint8_t> bytes(1024, static_cast<uint8_t>(writer * 31 + static_cast<uint32_t>(i)));
        std::memcpy(bytes.data(), &writer, 4);
        std::memcpy(bytes.data() + 4, &i, 4);
        errors += key.setValue(u"shared", RegType::binary, bytes.data(), bytes.size()) != kErrorSuccess;
        errors += key.setDword(u"w" + fromUtf8(argv[1]), static_cast<uint32_t>(i)) != kErrorSuccess;
        if (key.queryValue(u"shared", &type, &read) != kErrorSuccess) {
            ++errors;
            continue;
        }
        uint8_t fill = static_cast<uint8_t>(read.size() == 1024 ? read[0] * 31 + read[4] : 0);
        torn +=
            read.size() != 1024 || type != RegType::binary || std::count(read.begin() + 8, read.end(), fill) != 1016;
    }
    say("hammer errors " + str(errors) + " torn " + str(torn));
    return errors == 0 && torn == 0 ? 0 : 1;
}

int windowPublish(char** argv) {
    WindowInfo info;
    info.className = fromUtf8(argv[0]);
    info.title = fromUtf8(argv[1]);
    Window window;
    if (!Window::publish(info, window) || (info.className == u"FOREGROUND" && !window.setForeground())) {
        say("publish failed");
        return 1;
    }
    say("handle " + str(window.handle()));
    int received = 0;
    for (WindowMessage message; received < std::atoi(argv[2]) && window.receive(message, 30000); ++received)
        say("msg " + str(message.message) + " " + str(message.wParam) + " " + str(message.lParam));
    say("received " + str(received));
    if (std::string(argv[3]) != "-")
        waitForFile(argv[3]);
    return 0;
}

// Records how it was started (working directory, every argv entry) in the file
// argv[2], written whole under a temporary name so that a reader never sees half.
int launchProbe(int argc, char** argv) {
    char cwd[4096];
    std::string text = std::string("cwd=") + (::getcwd(cwd, sizeof cwd) ? cwd : "") + "\n";
    for (int i = 0; i < argc; ++i)
        text += std::string("arg=") + argv[i] + "\n";
    std::string temp = std::string(argv[2]) + ".tmp";
    if (FILE* file = std::fopen(temp.c_str(), "w")) {
        std::fputs(text.c_str(), file);
        std::fclose(file);
        std::rename(temp.c_str(), argv[2]);
    }
    return 0;
}

void ownSigbusHandler(int) {
    static const char text[] = "own handler ran\n";
    (void)!::write(1, text, sizeof text - 1);
    ::_exit(0);
}

// A shrunk mapping of ours survives; a SIGBUS from any other mapping still reaches
// the handler installed before ours ("own"), or ends the process ("none").
int sigbusForeign(char** argv) {
    if (std::string(argv[2]) == "own")
        std::signal(SIGBUS, ownSigbusHandler);
    SharedMemory guarded;
    if (SharedMemory::create(fromUtf8(argv[0]), 8192, guarded) != ShmResult::ok)
        return 1;
    const int shm = ::open((std::string(SharedMemory::kDirectory) + SharedMemory::posixName(fromUtf8(argv[0]))).c_str(),
                           O_RDWR | O_CLOEXEC);
    if (shm < 0 || ::ftruncate(shm, 0) != 0)
        return 1;
    ::close(shm);
    volatile auto* ours = static_cast<volatile unsigned char*>(guarded.data());
    ours[4096] = 7;
    say("survived broken=" + str(guarded.isBroken()) + " value=" + str(ours[4096]));

    const int fd = ::open(argv[1], O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::ftruncate(fd, 4096) != 0)
        return 1;
    void* foreign = ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (foreign == MAP_FAILED || ::ftruncate(fd, 0) != 0)
        return 1;
    say("touching foreign");
    static_cast<volatile unsigned char*>(foreign)[0] = 1;
    say("foreign fault was swallowed");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    char** args = argv + 2;
    const int count = argc - 2;
    if (command == "shm-create" && count == 4)
        return shmCreate(args);
    if (command == "shm-open" && count == 3)
        return shmOpen(args);
    if (command == "shm-exists" && count == 1) {
        say(std::string("exists ") + (SharedMemory::exists(fromUtf8(args[0])) ? "1" : "0"));
        return 0;
    }
    if (command == "shm-stress" && count == 4) {
        StressCounts counts = stressSharedMemory(args[0], std::atoi(args[1]), std::atoi(args[2]),
                                                 static_cast<unsigned>(std::atoi(args[3])));
        say("stress violations " + str(counts.violations) + " creates " + str(counts.creates) + " opens " +
            str(counts.opens));
        return counts.violations == 0 ? 0 : 1;
    }
    if (command == "reg-hammer" && count == 3)
        return regHammer(args);
    if (command == "window-publish" && count == 4)
        return windowPublish(args);
    if (command == "launch-probe" && count >= 1)
        return launchProbe(argc, argv);
    if (command == "sigbus-foreign" && count == 3)
        return sigbusForeign(args);
    std::fprintf(stderr, "unknown command or wrong arguments: %s\n", command.c_str());
    return 2;
}
