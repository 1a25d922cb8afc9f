#include "platform/registry.h"

#include "posix/bounded_lock.h"
#include "posix/case_mapping.h"
#include "posix/registry_format.h"
#include "posix/runtime_directory.h"
#include "posix/unique_fd.h"
#include "platform/utf.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantro::platform {

using posix::retryOnInterrupt;
using posix::UniqueFd;

namespace {

constexpr char kValuesFile[] = ".values";
constexpr char kTempValuesFile[] = ".values.tmp";
constexpr char kLockFile[] = ".lock";
constexpr char kDeletedPrefix[] = ".deleted-";
constexpr size_t kMaxValuesBytes = size_t(64) << 20;  // far beyond any real key; bounds what a bad file costs
constexpr size_t kMaxKeyNameUnits = 255;
constexpr size_t kMaxValueNameUnits = 16383;
constexpr size_t kMaxFileName = 255;
// Changes take a few milliseconds; a lock held longer belongs to a hung process.
constexpr std::chrono::milliseconds kStoreLockTimeout(3000);

const char* hiveDirectory(RegHive hive) {
    return hive == RegHive::localMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

long errorFromErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS: return kErrorAccessDenied;
        case ENOENT:
        case ENOTDIR: return kErrorFileNotFound;
        default: return kErrorIoFailed;
    }
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The root and the hives: 0700 at every level made, and the store refused when
// someone else owns it (they could plant keys the plug-in acts on) or it is a link.
bool makeDirectories(const std::string& path) {
    std::string why;
    if (posix::makePrivateDirectory(path, why))
        return true;
    posix::reportOnce("vantro: the registry folder " + path + " is not used: " + why + ".");
    return false;
}

// Opens a file of the store for reading or writing only when it is a regular file:
// O_NONBLOCK keeps a FIFO or device planted there from blocking the open, and the
// check keeps us from reading one.
int openRegularFile(const std::string& path, int flags, mode_t mode = 0) {
    int fd = retryOnInterrupt([&] { return ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW, mode); });
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    // Regular files ignore O_NONBLOCK, but clear it so nothing below depends on that.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

void syncDirectory(const std::string& dir) {
    UniqueFd fd(retryOnInterrupt([&] { return ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (fd.valid())
        ::fsync(fd.get());
}

// Splits a key path into names. Empty path = the hive itself.
bool splitPath(std::u16string_view path, std::vector<std::u16string>& names) {
    names.clear();
    if (!path.empty() && path.front() == u'\\')
        return false;
    if (!path.empty() && path.back() == u'\\')
        path.remove_suffix(1);
    if (path.empty())
        return true;
    size_t start = 0;
    for (;;) {
        size_t slash = path.find(u'\\', start);
        std::u16string_view name = path.substr(start, slash == std::u16string_view::npos ? slash : slash - start);
        if (name.empty() || name.size() > kMaxKeyNameUnits || posix::encodeKeyName(name).size() > kMaxFileName)
            return false;
        names.emplace_back(name);
        if (slash == std::u16string_view::npos)
            return true;
        start = slash + 1;
    }
}

// The subkeys of the key in dir: decoded names with their directory names, in
// enumeration order (case-insensitive, then by directory name so that two hand-made
// directories differing only in case have a fixed order).
struct SubKey {
    std::u16string upper, name;
    std::string fileName;
};

std::optional<std::vector<SubKey>> listSubKeys(const std::string& dir) {
    DIR* listing = ::opendir(dir.c_str());
    if (!listing)
        return std::nullopt;
    std::vector<SubKey> keys;
    while (dirent* entry = ::readdir(listing)) {
        if (entry->d_name[0] == '.')
            continue;  // ".", "..", the values and lock files, deleted trees
        if (entry->d_type != DT_DIR && (entry->d_type != DT_UNKNOWN || !isDirectory(dir + "/" + entry->d_name)))
            continue;
        if (std::optional<std::u16string> name = posix::decodeKeyName(entry->d_name))
            keys.push_back({posix::upperCase(*name), std::move(*name), entry->d_name});
    }
    ::closedir(listing);
    std::sort(keys.begin(), keys.end(), [](const SubKey& a, const SubKey& b) {
        return a.upper != b.upper ? a.upper < b.upper : a.fileName < b.fileName;
    });
    return keys;
}

// The directory of the subkey of dir named name (any case); empty when absent.
std::string findSubKey(const std::string& dir, std::u16string_view name) {
    std::optional<std::vector<SubKey>> keys = listSubKeys(dir);
    if (!keys)
        return {};
    std::u16string upper = posix::upperCase(name);
    for (const SubKey& key : *keys)
        if (key.upper == upper)
            return dir + "/" + key.fileName;
    return {};
}

// Serialises every change to the store among all processes and threads: flock on
// <root>/.lock, taken through a descriptor of its own per call.
class StoreLock {
public:
    long acquire(const std::string& root) {
        if (!makeDirectories(root))
            return kErrorAccessDenied;
        std::string path = root + "/" + kLockFile;
        fd_.reset(openRegularFile(path, O_RDWR | O_CREAT, 0600));
        if (!fd_.valid())
            return errno == EINVAL ? kErrorIoFailed : errorFromErrno(errno);
        if (!posix::lockExclusiveWithin(fd_.get(), kStoreLockTimeout)) {
            posix::reportOnce("vantro: the registry store " + root + " stayed locked for " +
                              std::to_string(kStoreLockTimeout.count() / 1000) +
                              " s by another process; the change was not made.");
            return kErrorIoFailed;
        }
        return kErrorSuccess;
    }

private:
    UniqueFd fd_;
};

// Finds (and with create, makes) the directory of a key. The caller holds the
// store lock when create is set.
long resolveKey(RegHive hive, std::u16string_view path, bool create, std::string& dirOut) {
    std::vector<std::u16string> names;
    if (!splitPath(path, names))
        return kErrorInvalidParameter;
    std::string root = RegistryKey::rootDirectory();
    if (root.empty())
        return kErrorAccessDenied;
    std::string dir = root + "/" + hiveDirectory(hive);
    if (!makeDirectories(dir))
        return kErrorAccessDenied;
    for (const std::u16string& name : names) {
        std::string next = findSubKey(dir, name);
        if (next.empty()) {
            if (!create)
                return kErrorFileNotFound;
            next = dir + "/" + posix::encodeKeyName(name);
            if (::mkdir(next.c_str(), 0700) != 0 || ::chmod(next.c_str(), 0700) != 0)
                return errorFromErrno(errno);
            syncDirectory(dir);
        }
        dir = std::move(next);
    }
    dirOut = std::move(dir);
    return kErrorSuccess;
}

std::optional<std::string> readWholeFile(int fd, size_t limit) {
    std::string text;
    char buffer[65536];
    for (;;) {
        ssize_t n = retryOnInterrupt([&] { return ::read(fd, buffer, sizeof buffer); });
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return text;
        if (text.size() + static_cast<size_t>(n) > limit)
            return std::nullopt;
        text.append(buffer, static_cast<size_t>(n));
    }
}

// Reads the values of the key in dir. A missing values file is a key without values.
long readValues(const std::string& dir, std::vector<RegValue>& values) {
    values.clear();
    if (!isDirectory(dir))
        return kErrorKeyDeleted;
    std::string path = dir + "/" + kValuesFile;
    UniqueFd fd(openRegularFile(path, O_RDONLY));
    if (!fd.valid())
        return errno == ENOENT ? kErrorSuccess : errno == EINVAL ? kErrorBadDb : errorFromErrno(errno);
    std::optional<std::string> text = readWholeFile(fd.get(), kMaxValuesBytes);
    if (!text)
        return errno == EIO ? kErrorIoFailed : kErrorBadDb;
    std::optional<std::vector<RegValue>> parsed = posix::parseValues(*text);
    if (!parsed)
        return kErrorBadDb;
    values = std::move(*parsed);
    return kErrorSuccess;
}

// Replaces the values file whole: a reader or a crash sees the old or the new file.
// The caller holds the store lock (which also makes the fixed temporary name safe).
long writeValues(const std::string& dir, const std::vector<RegValue>& values) {
    std::string temp = dir + "/" + kTempValuesFile;
    std::string text = posix::formatValues(values);
    // Whatever sits at the temporary name (a crash's leftover, or something planted)
    // goes; the file written is always a new one of ours.
    ::unlink(temp.c_str());
    UniqueFd fd(openRegularFile(temp, O_WRONLY | O_CREAT | O_EXCL, 0600));
    if (!fd.valid())
        return errorFromErrno(errno);
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = retryOnInterrupt([&] { return ::write(fd.get(), text.data() + done, text.size() - done); });
        if (n <= 0) {
            ::unlink(temp.c_str());
            return kErrorIoFailed;
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd.get()) != 0 || ::rename(temp.c_str(), (dir + "/" + kValuesFile).c_str()) != 0) {
        ::unlink(temp.c_str());
        return kErrorIoFailed;
    }
    // No fsync of the directory: the rename is atomic either way, and a crash that
    // forgets it leaves the old file, which is one of the two allowed outcomes.
    return kErrorSuccess;
}

std::vector<RegValue>::iterator findValue(std::vector<RegValue>& values, std::u16string_view name) {
    std::u16string upper = posix::upperCase(name);
    return std::find_if(values.begin(), values.end(),
                        [&](const RegValue& value) { return posix::upperCase(value.name) == upper; });
}

// Removes trees whose deletion a crash interrupted. Caller holds the store lock, so
// no deletion is in progress.
void sweepDeletedTrees(const std::string& root) {
    std::vector<std::string> leftovers;
    if (DIR* listing = ::opendir(root.c_str())) {
        while (dirent* entry = ::readdir(listing))
            if (std::strncmp(entry->d_name, kDeletedPrefix, sizeof kDeletedPrefix - 1) == 0)
                leftovers.emplace_back(root + "/" + entry->d_name);
        ::closedir(listing);
    }
    for (const std::string& path : leftovers) {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
}

}  // namespace

std::string RegistryKey::rootDirectory() {
    if (const char* root = std::getenv("VANTRO_REGISTRY_ROOT"); root && *root)
        return root;
    const char* home = std::getenv("HOME");
    std::string homeDir = home && *home ? home : "";
    if (homeDir.empty()) {
        struct passwd entry {};
        struct passwd* found = nullptr;
        char buffer[4096];
        if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
            homeDir = found->pw_dir;
    }
    return homeDir.empty() ? std::string() : homeDir + "/.config/vantro/registry";
}

long RegistryKey::open(RegHive hive, std::u16string_view path, RegistryKey& out) {
    out.dir_.clear();
    return resolveKey(hive, path, false, out.dir_);
}

long RegistryKey::create(RegHive hive, std::u16string_view path, RegistryKey& out) {
    out.dir_.clear();
    StoreLock lock;
    if (long error = lock.acquire(rootDirectory()))
        return error;
    return resolveKey(hive, path, true, out.dir_);
}

long RegistryKey::deleteKey(RegHive hive, std::u16string_view path) {
    std::vector<std::u16string> names;
    if (!splitPath(path, names))
        return kErrorInvalidParameter;
    if (names.empty())
        return kErrorAccessDenied;
    std::string root = rootDirectory();
    StoreLock lock;
    if (long error = lock.acquire(root))
        return error;
    std::string dir;
    if (long error = resolveKey(hive, path, false, dir))
        return error;
    // Renaming first makes the key vanish at once for every reader; the tree is
    // removed afterwards, and a crash in between leaves only a hidden leftover.
    static std::atomic<unsigned> counter{0};
    std::string trash = root + "/" + kDeletedPrefix + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    if (::rename(dir.c_str(), trash.c_str()) != 0)
        return errorFromErrno(errno);
    syncDirectory(dir.substr(0, dir.rfind('/')));
    sweepDeletedTrees(root);
    return kErrorSuccess;
}

long RegistryKey::queryValue(std::u16string_view name, RegType* type, std::vector<uint8_t>* data) const {
    if (!isOpen())
        return kErrorInvalidHandle;
    std::vector<RegValue> values;
    if (long error = readValues(dir_, values))
        return error;
    auto found = findValue(values, name);
    if (found == values.end())
        return kErrorFileNotFound;
    if (type)
        *type = found->type;
    if (data)
        *data = std::move(found->data);
    return kErrorSuccess;
}

long RegistryKey::setValue(std::u16string_view name, RegType type, const void* data, size_t size) {
    if (!isOpen())
        return kErrorInvalidHandle;
    if (name.size() > kMaxValueNameUnits || (!data && size != 0))
        return kErrorInvalidParameter;
    StoreLock lock;
    if (long error = lock.acquire(rootDirectory()))
        return error;
    std::vector<RegValue> values;
    if (long error = readValues(dir_, values))
        return error;  // a damaged file is reported, never overwritten
    std::vector<uint8_t> bytes(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    auto found = findValue(values, name);
    if (found == values.end()) {
        values.push_back(RegValue{std::u16string(name), type, std::move(bytes)});
    } else {
        found->type = type;  // the name keeps the case it was first written with
        found->data = std::move(bytes);
    }
    return writeValues(dir_, values);
}

long RegistryKey::deleteValue(std::u16string_view name) {
    if (!isOpen())
        return kErrorInvalidHandle;
    StoreLock lock;
    if (long error = lock.acquire(rootDirectory()))
        return error;
    std::vector<RegValue> values;
    if (long error = readValues(dir_, values))
        return error;
    auto found = findValue(values, name);
    if (found == values.end())
        return kErrorFileNotFound;
    values.erase(found);
    return writeValues(dir_, values);
}

long RegistryKey::enumValue(uint32_t index, RegValue& out) const {
    if (!isOpen())
        return kErrorInvalidHandle;
    std::vector<RegValue> values;
    if (long error = readValues(dir_, values))
        return error;
    if (index >= values.size())
        return kErrorNoMoreItems;
    out = std::move(values[index]);
    return kErrorSuccess;
}

long RegistryKey::enumValues(std::vector<RegValue>& out) const {
    out.clear();
    if (!isOpen())
        return kErrorInvalidHandle;
    return readValues(dir_, out);
}

long RegistryKey::deleteValues(const std::vector<std::u16string>& names) {
    if (!isOpen())
        return kErrorInvalidHandle;
    StoreLock lock;
    if (long error = lock.acquire(rootDirectory()))
        return error;
    std::vector<RegValue> values;
    if (long error = readValues(dir_, values))
        return error;
    std::vector<std::u16string> gone;
    gone.reserve(names.size());
    for (const std::u16string& name : names)
        gone.push_back(posix::upperCase(name));
    std::sort(gone.begin(), gone.end());
    const size_t before = values.size();
    std::erase_if(values, [&](const RegValue& value) {
        return std::binary_search(gone.begin(), gone.end(), posix::upperCase(value.name));
    });
    return values.size() == before ? kErrorSuccess : writeValues(dir_, values);
}

long RegistryKey::enumSubKey(uint32_t index, std::u16string& out) const {
    if (!isOpen())
        return kErrorInvalidHandle;
    std::optional<std::vector<SubKey>> keys = listSubKeys(dir_);
    if (!keys)
        return isDirectory(dir_) ? kErrorIoFailed : kErrorKeyDeleted;
    if (index >= keys->size())
        return kErrorNoMoreItems;
    out = std::move((*keys)[index].name);
    return kErrorSuccess;
}

long RegistryKey::queryInfo(uint32_t* subKeyCount, uint32_t* valueCount) const {
    if (!isOpen())
        return kErrorInvalidHandle;
    std::vector<RegValue> values;
    if (long error = readValues(dir_, values))
        return error;
    std::optional<std::vector<SubKey>> keys = listSubKeys(dir_);
    if (!keys)
        return kErrorKeyDeleted;
    if (subKeyCount)
        *subKeyCount = static_cast<uint32_t>(keys->size());
    if (valueCount)
        *valueCount = static_cast<uint32_t>(values.size());
    return kErrorSuccess;
}

}  // namespace vantro::platform
