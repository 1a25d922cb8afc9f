#include "platform/shared_memory.h"

#include "posix/bounded_lock.h"
#include "posix/process_maps.h"
#include "posix/runtime_directory.h"
#include "posix/shrunk_mapping_guard.h"
#include "posix/unique_fd.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <openssl/sha.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vantro::platform {

using posix::retryOnInterrupt;
using posix::UniqueFd;

namespace {

constexpr size_t kMaxFileName = 255;         // NAME_MAX of the folder's file system
constexpr size_t kHashedPrefixLength = 160;  // readable part kept of a hashed name
constexpr int kCreateAttempts = 4;
// Critical sections are a few system calls; a lock held this long is a hung or
// hostile process of the user, and a failed call is better than a hung host.
constexpr std::chrono::milliseconds kDecisionLockTimeout(3000);
constexpr char kFolderName[] = "shm";

bool isKeptAsIs(char16_t unit) {
    return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z') || (unit >= u'0' && unit <= u'9') ||
           unit == u'-' || unit == u'_' || unit == u'.';
}

// A prefix code over UTF-16 units: kept characters, "%XX" or "%uXXXX" ('u' is not a
// hex digit, so the two escapes cannot be confused), which makes it injective.
std::string encodeName(std::u16string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(name.size() + 16);
    for (char16_t unit : name) {
        if (isKeptAsIs(unit)) {
            out.push_back(static_cast<char>(unit));
        } else if (unit < 0x100) {
            out.push_back('%');
            out.push_back(kHex[unit >> 4]);
            out.push_back(kHex[unit & 0xF]);
        } else {
            out += "%u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out.push_back(kHex[(unit >> shift) & 0xF]);
        }
    }
    return out;
}

// The file name in the folder (the POSIX name without its leading slash).
std::string fileName(std::u16string_view kernelName) {
    std::string encoded = encodeName(kernelName);
    std::string direct = SharedMemory::kNamePrefix + encoded;
    if (direct.size() <= kMaxFileName)
        return direct;
    // Cut at an escape boundary so the readable part stays decodable.
    size_t cut = kHashedPrefixLength;
    size_t percent = encoded.rfind('%', cut - 1);
    if (percent != std::string::npos) {
        size_t escapeLength = encoded[percent + 1] == 'u' ? 6 : 3;
        if (percent + escapeLength > cut)
            cut = percent;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hashed = SharedMemory::kNamePrefix + encoded.substr(0, cut) + "~";
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(encoded.data()), encoded.size(), digest);
    for (unsigned char byte : digest) {
        hashed.push_back(kHex[byte >> 4]);
        hashed.push_back(kHex[byte & 0xF]);
    }
    return hashed;
}

// Exclusive flock on the user's private mapping folder: every create/open/exists/
// close decision of every process runs under it, so "no holder" seen under the lock
// means dead. Only the user can open the folder, so only the user's own processes
// can hold the lock, and none of them for longer than kDecisionLockTimeout.
class DirectoryLock {
public:
    bool acquire() {
        std::string folder = SharedMemory::directory();
        if (folder.empty())
            return false;
        dir_.reset(
            retryOnInterrupt([&] { return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW); }));
        if (!dir_.valid())
            return false;
        if (!posix::lockExclusiveWithin(dir_.get(), kDecisionLockTimeout)) {
            posix::reportOnce("vantro: the shared-memory folder " + folder + " stayed locked for " +
                              std::to_string(kDecisionLockTimeout.count() / 1000) +
                              " s by another process of this user; the mapping operation failed.");
            dir_.reset();
            return false;
        }
        return true;
    }
    int dirFd() const { return dir_.get(); }

private:
    UniqueFd dir_;  // closing it releases the flock
};

struct flock wholeFileLock(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;  // to the end, whatever the size
    lock.l_pid = 0;  // required by the OFD commands
    return lock;
}

enum class Holders { none, some, unknown };

// Whether an open file description other than fd's holds the object. Our own read
// lock never conflicts with a write-lock probe made through the same description.
Holders otherHolders(int fd) {
    struct flock probe = wholeFileLock(F_WRLCK);
    if (retryOnInterrupt([&] { return ::fcntl(fd, F_OFD_GETLK, &probe); }) != 0)
        return Holders::unknown;
    return probe.l_type == F_UNLCK ? Holders::none : Holders::some;
}

bool takeHold(int fd) {
    struct flock hold = wholeFileLock(F_RDLCK);
    return retryOnInterrupt([&] { return ::fcntl(fd, F_OFD_SETLK, &hold); }) == 0;
}

enum class Probe { absent, live, unusable };

// Looks at an existing name under the directory lock: opens it, and unlinks it when
// nobody holds it. On live, fd is the open object.
Probe probeExisting(int dirFd, const std::string& leaf, UniqueFd& fd) {
    fd.reset(retryOnInterrupt([&] { return ::openat(dirFd, leaf.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW); }));
    if (!fd.valid())
        return errno == ENOENT ? Probe::absent : Probe::unusable;
    switch (otherHolders(fd.get())) {
        case Holders::some: return Probe::live;
        case Holders::unknown: return Probe::unusable;
        case Holders::none: break;
    }
    fd.reset();
    if (::unlinkat(dirFd, leaf.c_str(), 0) != 0 && errno != ENOENT)
        return Probe::unusable;
    return Probe::absent;
}

// Gives the object size bytes of reserved, zeroed pages. fallocate makes tmpfs
// commit the pages now, so running out of space fails here instead of raising
// SIGBUS in whoever touches the page later.
bool sizeObject(int fd, size_t size) {
    if (retryOnInterrupt([&] { return ::ftruncate(fd, static_cast<off_t>(size)); }) != 0)
        return false;
    if (retryOnInterrupt([&] { return ::fallocate(fd, 0, 0, static_cast<off_t>(size)); }) != 0)
        return errno == EOPNOTSUPP || errno == ENOSYS;
    return true;
}

void* mapWhole(int fd, size_t size) {
    void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    return data == MAP_FAILED ? nullptr : data;
}

}  // namespace

SharedMemory::~SharedMemory() { close(); }

SharedMemory::SharedMemory(SharedMemory&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      fd_(std::exchange(other.fd_, -1)),
      name_(std::move(other.name_)),
      device_(std::exchange(other.device_, 0)),
      inode_(std::exchange(other.inode_, 0)),
      guard_(std::exchange(other.guard_, nullptr)) {}

SharedMemory& SharedMemory::operator=(SharedMemory&& other) noexcept {
    if (this != &other) {
        close();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        fd_ = std::exchange(other.fd_, -1);
        name_ = std::move(other.name_);
        device_ = std::exchange(other.device_, 0);
        inode_ = std::exchange(other.inode_, 0);
        guard_ = std::exchange(other.guard_, nullptr);
    }
    return *this;
}

std::string SharedMemory::posixName(std::u16string_view kernelName) { return "/" + fileName(kernelName); }

std::string SharedMemory::directory() {
    std::string runtime = posix::runtimeDirectory();
    if (runtime.empty())
        return {};
    std::string folder = runtime + "/" + kFolderName;
    std::string why;
    if (posix::makePrivateDirectory(folder, why))
        return folder;
    posix::reportOnce("vantro: the shared-memory folder " + folder + " is not used: " + why + ".");
    return {};
}

ShmResult SharedMemory::create(std::u16string_view kernelName, size_t size, SharedMemory& out) {
    out.close();
    if (kernelName.empty() || size == 0 || size > static_cast<size_t>(std::numeric_limits<off_t>::max()))
        return ShmResult::failed;
    std::string leaf = fileName(kernelName);
    DirectoryLock lock;
    if (!lock.acquire())
        return ShmResult::failed;

    UniqueFd fd;
    for (int attempt = 0; attempt < kCreateAttempts && !fd.valid(); ++attempt) {
        fd.reset(retryOnInterrupt([&] {
            return ::openat(lock.dirFd(), leaf.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        }));
        if (fd.valid())
            break;
        if (errno != EEXIST)
            return ShmResult::failed;
        UniqueFd existing;
        switch (probeExisting(lock.dirFd(), leaf, existing)) {
            case Probe::live: return ShmResult::alreadyExists;
            case Probe::unusable: return ShmResult::failed;
            case Probe::absent: break;  // reclaimed (or vanished): try the exclusive create again
        }
    }
    if (!fd.valid())
        return ShmResult::failed;

    void* data = nullptr;
    // fchmod: the umask must not make the object unreadable to its own user.
    bool ready = ::fchmod(fd.get(), 0600) == 0 && sizeObject(fd.get(), size) && takeHold(fd.get()) &&
                 (data = mapWhole(fd.get(), size)) != nullptr;
    if (!ready) {
        ::unlinkat(lock.dirFd(), leaf.c_str(), 0);
        return ShmResult::failed;
    }
    out.adopt(data, size, fd.release(), std::move(leaf));
    return ShmResult::ok;
}

ShmResult SharedMemory::open(std::u16string_view kernelName, SharedMemory& out) {
    out.close();
    if (kernelName.empty())
        return ShmResult::notFound;
    std::string leaf = fileName(kernelName);
    DirectoryLock lock;
    if (!lock.acquire())
        return ShmResult::failed;

    UniqueFd fd;
    switch (probeExisting(lock.dirFd(), leaf, fd)) {
        case Probe::absent: return ShmResult::notFound;
        case Probe::unusable: return ShmResult::failed;
        case Probe::live: break;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || info.st_size <= 0)
        return ShmResult::failed;
    size_t size = static_cast<size_t>(info.st_size);
    if (!takeHold(fd.get()))
        return ShmResult::failed;
    void* data = mapWhole(fd.get(), size);
    if (!data)
        return ShmResult::failed;  // closing fd drops the hold we just took
    out.adopt(data, size, fd.release(), std::move(leaf));
    return ShmResult::ok;
}

bool SharedMemory::exists(std::u16string_view kernelName) {
    if (kernelName.empty())
        return false;
    std::string leaf = fileName(kernelName);
    DirectoryLock lock;
    if (!lock.acquire())
        return false;
    UniqueFd fd;
    return probeExisting(lock.dirFd(), leaf, fd) == Probe::live;
}

size_t SharedMemory::reclaimAbandoned() {
    if (const char* keep = std::getenv("VANTRO_KEEP_ABANDONED_SHM"); keep && *keep)
        return 0;
    DirectoryLock lock;
    if (!lock.acquire())
        return 0;
    // A second descriptor for readdir: the locked one must stay open untouched.
    int listFd = ::openat(lock.dirFd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return 0;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return 0;
    }
    std::vector<std::string> ours;
    const size_t prefixLength = std::strlen(kNamePrefix);
    uid_t me = ::geteuid();
    while (dirent* entry = ::readdir(dir)) {
        struct stat info {};
        if (std::strncmp(entry->d_name, kNamePrefix, prefixLength) == 0 &&
            ::fstatat(lock.dirFd(), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == me)
            ours.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    size_t removed = 0;
    for (const std::string& leaf : ours) {
        UniqueFd fd;
        // probeExisting unlinks the dead; count those that are gone afterwards.
        if (probeExisting(lock.dirFd(), leaf, fd) == Probe::absent)
            ++removed;
    }
    return removed;
}

void SharedMemory::adopt(void* data, size_t size, int fd, std::string leaf) {
    data_ = data;
    size_ = size;
    fd_ = fd;
    name_ = std::move(leaf);
    struct stat info {};
    if (::fstat(fd, &info) == 0) {
        device_ = info.st_dev;
        inode_ = info.st_ino;
    }
    guard_ = posix::guardMapping(data, size);
}

SharedMemory::MappedBy SharedMemory::mappedBy(uint32_t pid) const {
    if (fd_ < 0 || pid == 0)
        return MappedBy::unknown;
    return posix::processMapsFile(pid, device_, inode_);
}

bool SharedMemory::isBroken() const { return posix::isBroken(guard_); }

void SharedMemory::notifyWhenBroken(std::atomic<bool>* flag) { posix::notifyWhenBroken(guard_, flag); }

void SharedMemory::close() {
    // The guard must let go before the pages do: its handler would otherwise map
    // zero pages over whatever takes this address range next.
    posix::releaseMapping(std::exchange(guard_, nullptr));
    if (data_)
        ::munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
    device_ = inode_ = 0;
    if (fd_ < 0)
        return;
    int rawFd = std::exchange(fd_, -1);
    std::string leaf = std::move(name_);
    name_.clear();
    // Declared after the lock so that it closes first: our hold must end inside the
    // critical section, or two last holders closing at once could each see the
    // other and both leave the name behind.
    DirectoryLock lock;
    bool locked = lock.acquire();
    UniqueFd fd(rawFd);
    // Without the directory lock the name is simply left for the next probe to reclaim.
    if (!locked || otherHolders(fd.get()) != Holders::none)
        return;
    // Unlink only if the name still refers to our object; someone outside the
    // protocol may have replaced it.
    struct stat mine {
    }, named{};
    if (::fstat(fd.get(), &mine) == 0 && ::fstatat(lock.dirFd(), leaf.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        mine.st_dev == named.st_dev && mine.st_ino == named.st_ino)
        ::unlinkat(lock.dirFd(), leaf.c_str(), 0);
}

}  // namespace vantro::platform
