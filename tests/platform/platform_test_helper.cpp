// A second process for the platform tests: each sub-command does one thing with the
// platform layer and prints what it saw on stdout, one fact per line, so that the
// tests can assert what another process observed.
//
//   shm-create <name> <size> <fillByte> <releaseFile>
//   shm-open <name> <writeOffset> <writeByte>
//   shm-exists <name>
//   shm-stress <controlName> <nameCount> <iterations> <seed>
//   reg-set <cu|lm> <path> <name> <dword|sz|hex> <value>
//   reg-get <cu|lm> <path> <name>
//   reg-hammer <path> <writer> <count>
//   window-publish <class> <title> <expectedMessages> <releaseFile>
//   window-post <handle> <count> <message>
//   window-foreground <releaseFile>
//   launch-probe <outFile> <args...>
//   sigbus-foreign <name> <scratchFile> <own|none>

#include "platform/process.h"
#include "platform/registry.h"
#include "platform/shared_memory.h"
#include "platform/utf.h"
#include "platform/window.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/mman.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace vantro::platform;

namespace {

const char* resultName(ShmResult result) {
    switch (result) {
        case ShmResult::ok: return "ok";
        case ShmResult::alreadyExists: return "alreadyExists";
        case ShmResult::notFound: return "notFound";
        case ShmResult::failed: return "failed";
    }
    return "?";
}

void say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// Waits until path exists; the tests create it to let the helper go on.
bool waitForFile(const std::string& path, int timeoutMs = 60000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    struct stat info {};
    while (::stat(path.c_str(), &info) != 0) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

int shmCreate(char** argv) {
    SharedMemory memory;
    ShmResult result = SharedMemory::create(fromUtf8(argv[0]), std::strtoull(argv[1], nullptr, 10), memory);
    say(std::string("result ") + resultName(result));
    if (result != ShmResult::ok)
        return 1;
    std::memset(memory.data(), std::atoi(argv[2]), memory.size());
    say("ready");
    waitForFile(argv[3]);
    memory.close();
    say("closed");
    return 0;
}

int shmOpen(char** argv) {
    SharedMemory memory;
    ShmResult result = SharedMemory::open(fromUtf8(argv[0]), memory);
    say(std::string("result ") + resultName(result));
    if (result != ShmResult::ok)
        return 1;
    const auto* bytes = static_cast<const unsigned char*>(memory.data());
    size_t sameAsFirst = 0;
    for (size_t i = 0; i < memory.size(); ++i)
        sameAsFirst += bytes[i] == bytes[0];
    say("size " + std::to_string(memory.size()) + " first " + std::to_string(bytes[0]) + " same " +
        std::to_string(sameAsFirst));
    size_t offset = std::strtoull(argv[1], nullptr, 10);
    if (offset < memory.size())
        static_cast<unsigned char*>(memory.data())[offset] = static_cast<unsigned char>(std::atoi(argv[2]));
    return 0;
}

// Creates or opens a few names at random from several processes at once and checks
// that every process holding a name holds the same object: per name, a spin lock
// and a holder count live in a control mapping all stressing processes share, and
// each object counts its own holders in its first word. Both counts change together
// under the spin lock, so they differ exactly when two objects of one name are held
// at the same time (a live name was wrongly reclaimed or created over).
int shmStress(char** argv) {
    SharedMemory control;
    if (SharedMemory::open(fromUtf8(argv[0]), control) != ShmResult::ok)
        return 2;
    int nameCount = std::atoi(argv[1]);
    int iterations = std::atoi(argv[2]);
    std::mt19937 random(static_cast<unsigned>(std::atoi(argv[3])));
    auto* words = static_cast<uint32_t*>(control.data());
    int violations = 0, creates = 0, opens = 0;
    for (int i = 0; i < iterations; ++i) {
        int which = static_cast<int>(random() % static_cast<unsigned>(nameCount));
        std::u16string name = fromUtf8(std::string(argv[0]) + "/stress/" + std::to_string(which));
        SharedMemory memory;
        bool created = random() % 2 == 0;
        ShmResult result = created ? SharedMemory::create(name, 4096, memory) : SharedMemory::open(name, memory);
        if (result != ShmResult::ok)
            continue;
        std::atomic_ref<uint32_t> spin(words[2 * which]), holders(words[2 * which + 1]);
        std::atomic_ref<uint32_t> objectHolders(*static_cast<uint32_t*>(memory.data()));
        auto locked = [&](auto change) {
            uint32_t expected = 0;
            while (!spin.compare_exchange_weak(expected, 1)) {
                expected = 0;
                std::this_thread::yield();
            }
            change();
            spin.store(0);
        };
        locked([&] { violations += objectHolders.fetch_add(1) != holders.fetch_add(1); });
        (created ? creates : opens)++;
        if (random() % 4 == 0)
            std::this_thread::yield();
        locked([&] { violations += objectHolders.fetch_sub(1) != holders.fetch_sub(1); });
        memory.close();
    }
    say("stress violations " + std::to_string(violations) + " creates " + std::to_string(creates) + " opens " +
        std::to_string(opens));
    return violations == 0 ? 0 : 1;
}

RegHive hiveOf(const char* text) { return std::string(text) == "lm" ? RegHive::localMachine : RegHive::currentUser; }

std::string hexOf(const std::vector<uint8_t>& data) {
    std::string out;
    char byte[3];
    for (uint8_t b : data) {
        std::snprintf(byte, sizeof byte, "%02x", b);
        out += byte;
    }
    return out;
}

int regSet(char** argv) {
    RegistryKey key;
    long result = RegistryKey::create(hiveOf(argv[0]), fromUtf8(argv[1]), key);
    std::u16string name = fromUtf8(argv[2]);
    std::string kind = argv[3];
    if (result == kErrorSuccess) {
        if (kind == "dword") {
            result = key.setDword(name, static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 0)));
        } else if (kind == "sz") {
            result = key.setString(name, fromUtf8(argv[4]));
        } else {
            std::vector<uint8_t> bytes;
            for (const char* p = argv[4]; p[0] && p[1]; p += 2)
                bytes.push_back(static_cast<uint8_t>(std::strtoul(std::string(p, 2).c_str(), nullptr, 16)));
            result = key.setValue(name, RegType::binary, bytes.data(), bytes.size());
        }
    }
    say("result " + std::to_string(result));
    return result == kErrorSuccess ? 0 : 1;
}

int regGet(char** argv) {
    RegistryKey key;
    long result = RegistryKey::open(hiveOf(argv[0]), fromUtf8(argv[1]), key);
    RegType type = RegType::none;
    std::vector<uint8_t> data;
    if (result == kErrorSuccess)
        result = key.queryValue(fromUtf8(argv[2]), &type, &data);
    say("result " + std::to_string(result) + " type " + std::to_string(static_cast<uint32_t>(type)) + " data " +
        hexOf(data));
    return 0;
}

// Writes self-checking values into one key from several processes at once: each
// "shared" value is 1024 bytes that carry their writer and round, so a torn or mixed
// value shows; each writer also counts its rounds in its own DWORD.
int regHammer(char** argv) {
    RegistryKey key;
    if (RegistryKey::create(RegHive::currentUser, fromUtf8(argv[0]), key) != kErrorSuccess)
        return 2;
    uint32_t writer = static_cast<uint32_t>(std::atoi(argv[1]));
    int count = std::atoi(argv[2]);
    int errors = 0, torn = 0;
    std::u16string own = u"w" + fromUtf8(argv[1]);
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> bytes(1024, static_cast<uint8_t>(writer * 31 + static_cast<uint32_t>(i)));
        std::memcpy(bytes.data(), &writer, 4);
        std::memcpy(bytes.data() + 4, &i, 4);
        errors += key.setValue(u"shared", RegType::binary, bytes.data(), bytes.size()) != kErrorSuccess;
        errors += key.setDword(own, static_cast<uint32_t>(i)) != kErrorSuccess;
        std::vector<uint8_t> read;
        RegType type = RegType::none;
        if (key.queryValue(u"shared", &type, &read) != kErrorSuccess) {
            ++errors;
            continue;
        }
        uint32_t who = 0, round = 0;
        if (read.size() != 1024 || type != RegType::binary) {
            ++torn;
            continue;
        }
        std::memcpy(&who, read.data(), 4);
        std::memcpy(&round, read.data() + 4, 4);
        uint8_t fill = static_cast<uint8_t>(who * 31 + round);
        for (size_t k = 8; k < read.size(); ++k)
            if (read[k] != fill) {
                ++torn;
                break;
            }
    }
    say("hammer errors " + std::to_string(errors) + " torn " + std::to_string(torn));
    return errors == 0 && torn == 0 ? 0 : 1;
}

int windowPublish(char** argv) {
    WindowInfo info;
    info.className = fromUtf8(argv[0]);
    info.title = fromUtf8(argv[1]);
    Window window;
    if (!Window::publish(info, window)) {
        say("publish failed");
        return 1;
    }
    say("handle " + std::to_string(window.handle()));
    int expected = std::atoi(argv[2]);
    int received = 0;
    for (; received < expected; ++received) {
        WindowMessage message;
        if (!window.receive(message, 30000))
            break;
        say("msg " + std::to_string(message.message) + " " + std::to_string(message.wParam) + " " +
            std::to_string(message.lParam));
    }
    say("received " + std::to_string(received));
    if (std::string(argv[3]) != "-")
        waitForFile(argv[3]);
    return 0;
}

// Posts count messages (wParam = i, lParam = i with the high bits set), retrying
// while the window's queue is full and the window lives.
int windowPost(char** argv) {
    WindowHandle handle = std::strtoull(argv[0], nullptr, 10);
    int count = std::atoi(argv[1]);
    uint32_t id = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 0));
    int posted = 0;
    for (int i = 0; i < count; ++i) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!postMessage(handle, id, uint64_t(i), 0xFFFF000000000000ull | uint64_t(i))) {
            if (!isWindow(handle) || std::chrono::steady_clock::now() > deadline) {
                say("posted " + std::to_string(posted) + " then gone");
                return 1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ++posted;
    }
    say("posted " + std::to_string(posted));
    return 0;
}

int windowForeground(char** argv) {
    WindowInfo info;
    info.className = u"FOREGROUND";
    Window window;
    if (!Window::publish(info, window) || !window.setForeground())
        return 1;
    say("handle " + std::to_string(window.handle()));
    waitForFile(argv[0]);
    return 0;
}

// Records how it was started (working directory, every argv entry) in the file
// argv[2], written whole under a temporary name so that a reader never sees half.
int launchProbe(int argc, char** argv) {
    std::string text = "cwd=";
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd))
        text += cwd;
    text += "\n";
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
    say("survived broken=" + std::to_string(guarded.isBroken()) + " value=" + std::to_string(ours[4096]));

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
    if (argc < 2)
        return 2;
    std::string command = argv[1];
    char** args = argv + 2;
    int count = argc - 2;
    if (command == "shm-create" && count == 4)
        return shmCreate(args);
    if (command == "shm-open" && count == 3)
        return shmOpen(args);
    if (command == "shm-exists" && count == 1) {
        say(std::string("exists ") + (SharedMemory::exists(fromUtf8(args[0])) ? "1" : "0"));
        return 0;
    }
    if (command == "shm-stress" && count == 4)
        return shmStress(args);
    if (command == "reg-set" && count == 5)
        return regSet(args);
    if (command == "reg-get" && count == 3)
        return regGet(args);
    if (command == "reg-hammer" && count == 3)
        return regHammer(args);
    if (command == "launch-probe" && count >= 1)
        return launchProbe(argc, argv);
    if (command == "window-publish" && count == 4)
        return windowPublish(args);
    if (command == "window-post" && count == 3)
        return windowPost(args);
    if (command == "window-foreground" && count == 1)
        return windowForeground(args);
    if (command == "sigbus-foreign" && count == 3)
        return sigbusForeign(args);
    std::fprintf(stderr, "unknown command or wrong arguments: %s\n", command.c_str());
    return 2;
}
