#pragma once
// A registry store with the Windows registry's semantics the plug-in relies on:
// hives, backslash key paths, typed values, enumeration by index.
//
// On disk (see docs/platform.md): one directory per key below the root, one
// human-readable file of values per key, replaced atomically (write, fsync, rename)
// under an advisory lock, so concurrent processes never see a torn value and a crash
// leaves the old or the new file. The root is $VANTRO_REGISTRY_ROOT, else
// $HOME/.config/vantro/registry; its folders are 0700 whatever the umask, a root
// that is someone else's or a symbolic link is refused (kErrorAccessDenied), only
// regular files are ever opened, and no change waits more than a few seconds for
// the store's lock (kErrorIoFailed, with a line on the debug output).
//
// Names: key and value names compare case-insensitively the way the Windows
// registry does it, by upper-casing each UTF-16 unit on its own (Unicode simple
// upper case of BMP characters), and keep the case they were first written with:
// setting "camerasync" over an existing "CameraSync" replaces the data and keeps
// "CameraSync". Key names are 1 to 255 units without a backslash; value names are 0
// to 16383 units of any kind ("" is the key's default value).
//
// Enumeration order: values in the order they were first set; subkeys sorted
// case-insensitively (as Windows lists them).
//
// Results are Windows error codes (0 success, 2 not found, 259 no more items, ...),
// so code written against the Windows calls reads the same. A values file that was
// damaged by hand gives kErrorBadDb for reads and writes of that key (writes then
// change nothing); it never crashes and is never silently replaced.
//
// Thread-safety: every function may be called from any thread, also on one
// RegistryKey from several threads at once, except moving or assigning the key.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantro::platform {

enum class RegHive { currentUser, localMachine };

enum class RegType : uint32_t { none = 0, sz = 1, binary = 3, dword = 4 };

constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;       // the store's root or a file cannot be written
constexpr long kErrorInvalidHandle = 6;      // the RegistryKey is not open
constexpr long kErrorInvalidParameter = 87;  // bad path or name, null data with a size
constexpr long kErrorMoreData = 234;
constexpr long kErrorNoMoreItems = 259;
constexpr long kErrorBadDb = 1009;       // a values file on disk is malformed
constexpr long kErrorIoFailed = 1016;    // ERROR_REGISTRY_IO_FAILED: any other I/O error
constexpr long kErrorKeyDeleted = 1018;  // the open key was deleted meanwhile

struct RegValue {
    std::u16string name;
    RegType type = RegType::none;
    std::vector<uint8_t> data;  // REG_SZ: UTF-16LE including the terminator, as Windows stores it
};

class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(RegistryKey&&) noexcept = default;
    RegistryKey& operator=(RegistryKey&&) noexcept = default;

    // Paths are backslash-separated key names below the hive ("" is the hive's own
    // key; one trailing backslash is ignored; a leading or doubled one gives
    // kErrorInvalidParameter). On failure out is left closed.

    // Opens an existing key. 0, or kErrorFileNotFound when it does not exist.
    static long open(RegHive hive, std::u16string_view path, RegistryKey& out);
    // Opens a key, creating it and its missing parents.
    static long create(RegHive hive, std::u16string_view path, RegistryKey& out);
    // Deletes a key with all its values and subkeys (like RegDeleteTree of the key
    // itself). kErrorFileNotFound when absent; kErrorAccessDenied for a hive ("").
    static long deleteKey(RegHive hive, std::u16string_view path);

    bool isOpen() const { return !dir_.empty(); }

    // Reads a value. type and data may be null. kErrorFileNotFound when absent.
    long queryValue(std::u16string_view name, RegType* type, std::vector<uint8_t>* data) const;
    // Sets a value of any type to size bytes at data (data may be null when size is 0).
    long setValue(std::u16string_view name, RegType type, const void* data, size_t size);
    long setDword(std::u16string_view name, uint32_t value);
    long setString(std::u16string_view name, std::u16string_view value);  // REG_SZ, terminator added
    long deleteValue(std::u16string_view name);

    // Enumeration by index over the values/subkeys as they are at the call;
    // kErrorNoMoreItems past the end.
    long enumValue(uint32_t index, RegValue& out) const;
    long enumSubKey(uint32_t index, std::u16string& out) const;
    // Every value at once, from one read of the key (enumValue by index reads the
    // key each time). out is empty on failure.
    long enumValues(std::vector<RegValue>& out) const;
    // Deletes every value named (any case) in one change; names not present are
    // ignored. 0 also when none was present.
    long deleteValues(const std::vector<std::u16string>& names);
    // Either pointer may be null.
    long queryInfo(uint32_t* subKeyCount, uint32_t* valueCount) const;

    // The directory of the store's root in use (for tests and docs).
    static std::string rootDirectory();

private:
    std::string dir_;
};

}  // namespace vantro::platform
