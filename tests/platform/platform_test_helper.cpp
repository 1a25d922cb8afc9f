// A second process for the platform tests: each sub-command does one thing with the
// platform layer and prints what it saw, one fact per line; arguments as in main().

#include "platform/registry.h"
#include "platform/shared_memory.h"
#include "platform/utf.h"
#include "platform/window.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <random>
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

// Counts the times two objects of one name were held at once: a holder count per name in
// the shared control mapping and one in each object change together under a spin lock.
struct StressCounts {
    int violations = 0, creates = 0, opens = 0;
};

StressCounts stressSharedMemory(const std::string& control, int nameCount, int iterations, unsigned seed,
                                uint32_t processes) {
    StressCounts counts;
    SharedMemory controlMemory;
    if (SharedMemory::open(fromUtf8(control), controlMemory) != ShmResult::ok)
        return {1, 0, 0};
    auto* words = static_cast<uint32_t*>(controlMemory.data());
    // All start together: a process started late on a busy machine would otherwise run
    // alone and never meet the others' names.
    std::atomic_ref<uint32_t> arrived(words[controlMemory.size() / 4 - 1]);
    arrived.fetch_add(1);
    while (arrived.load() < processes)
        std::this_thread::yield();
    std::mt19937 random(seed);
    for (int i = 0; i < iterations; ++i) {
        int which = static_cast<int>(random() % static_cast<unsigned>(nameCount));
        std::u16string name = fromUtf8(control + "/stress/" + std::to_string(which));
        SharedMemory memory;
        bool created = random() % 2 == 0;
        if ((created ? SharedMemory::create(name, 4096, memory) : SharedMemory::open(name, memory)) != ShmResult::ok)
            continue;
        std::atomic_ref<uint32_t> spin(words[2 * which]), holders(words[2 * which + 1]);
        std::atomic_ref<uint32_t> objectHolders(*static_cast<uint32_t*>(memory.data()));
        auto locked = [&](auto change) {
            for (uint32_t expected = 0; !spin.compare_exchange_weak(expected, 1); expected = 0)
                std::this_thread::yield();
            change();
            spin.store(0);
        };
        locked([&] { counts.violations += objectHolders.fetch_add(1) != holders.fetch_add(1); });
        (created ? counts.creates : counts.opens)++;
        if (random() % 4 == 0)
            std::this_thread::yield();
        locked([&] { counts.violations += objectHolders.fetch_sub(1) != holders.fetch_sub(1); });
    }
    return counts;
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

// Counts its rounds in its own DWORD, reading each back: a write of another process
// that lost this one, or a half-written file, shows as an error.
int regHammer(char** argv) {
    RegistryKey key;
    if (RegistryKey::create(RegHive::currentUser, fromUtf8(argv[0]), key) != kErrorSuccess)
        return 2;
    const std::u16string own = u"w" + fromUtf8(argv[1]);
    int errors = 0;
    for (uint32_t i = 0, count = static_cast<uint32_t>(std::atoi(argv[2])); i < count; ++i) {
        std::vector<uint8_t> read;
        errors += key.setDword(own, i) != kErrorSuccess;
        errors += key.queryValue(own, nullptr, &read) != kErrorSuccess || read.size() != 4 || read[0] != uint8_t(i);
    }
    say("hammer errors " + str(errors));
    return errors == 0 ? 0 : 1;
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
    const int shm =
        ::open((SharedMemory::directory() + SharedMemory::posixName(fromUtf8(argv[0]))).c_str(), O_RDWR | O_CLOEXEC);
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

// Holds flock(LOCK_EX) on path (a file or folder) until release appears: a process
// of the user that keeps a lock far longer than anyone should.
int flockHold(char** argv) {
    const int fd = ::open(argv[0], O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0) {
        say("cannot lock");
        return 1;
    }
    say("ready");
    waitForFile(argv[1]);
    return 0;
}

// Where this process's runtime folder and mappings went, and whether a mapping and a
// window can be made there.
int runtimeProbe() {
    say("runtime " + runtimeDirectory());
    say("shm " + SharedMemory::directory());
    SharedMemory memory;
    const char* results[] = {"ok", "alreadyExists", "notFound", "failed"};
    say(std::string("create ") + results[static_cast<int>(SharedMemory::create(u"probe", 64, memory))]);
    WindowInfo info;
    info.className = u"PROBE";
    Window window;
    say(std::string("window ") + (Window::publish(info, window) ? "ok" : "failed"));
    return 0;
}

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    char** args = argv + 2;
    const int count = argc - 2;
    if (command == "shm-create" && count == 4)  // name size fillByte releaseFile
        return shmCreate(args);
    if (command == "shm-open" && count == 3)  // name writeOffset writeByte
        return shmOpen(args);
    if (command == "shm-exists" && count == 1) {  // name
        say(std::string("exists ") + (SharedMemory::exists(fromUtf8(args[0])) ? "1" : "0"));
        return 0;
    }
    if (command == "shm-stress" && count == 5) {  // controlName nameCount iterations seed processes
        StressCounts counts =
            stressSharedMemory(args[0], std::atoi(args[1]), std::atoi(args[2]),
                               static_cast<unsigned>(std::atoi(args[3])), static_cast<uint32_t>(std::atoi(args[4])));
        say("stress violations " + str(counts.violations) + " creates " + str(counts.creates) + " opens " +
            str(counts.opens));
        return counts.violations == 0 && counts.creates > 0 && counts.opens > 0 ? 0 : 1;
    }
    if (command == "reg-hammer" && count == 3)  // path writer count
        return regHammer(args);
    if (command == "window-publish" && count == 4)  // class title expectedMessages releaseFile|- (FOREGROUND: in front)
        return windowPublish(args);
    if (command == "launch-probe" && count >= 1)  // outFile args...
        return launchProbe(argc, argv);
    if (command == "sigbus-foreign" && count == 3)  // name scratchFile own|none
        return sigbusForeign(args);
    if (command == "flock-hold" && count == 2)  // path releaseFile
        return flockHold(args);
    if (command == "runtime-probe" && count == 0)
        return runtimeProbe();
    std::fprintf(stderr, "unknown command or wrong arguments: %s\n", command.c_str());
    return 2;
}
