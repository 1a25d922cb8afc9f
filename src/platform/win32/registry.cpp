// The registry on the Windows registry itself. A RegistryKey keeps the hive and the
// full path of its key rather than an open HKEY, and every call opens the key anew:
// moves and sharing between threads are then trivial, and a key deleted meanwhile
// fails with kErrorKeyDeleted instead of acting on a detached key.
//
// $VANTRO_REGISTRY_ROOT (tests only) moves both hives below one private key of the
// real HKEY_CURRENT_USER, so that parallel tests and the processes they start share
// their store with nobody else: HKCU\Software\Vantro Registry Roots\<value>\HKCU and
// ...\HKLM, '\' in the value read as '/'.

#include "platform/registry.h"

#include "platform/utf.h"
#include "win32/windows_api.h"

namespace vantro::platform {

namespace {

constexpr size_t kMaxKeyNameUnits = 255;
constexpr size_t kMaxValueNameUnits = 16383;
constexpr char16_t kRootsKey[] = u"Software\\Vantro Registry Roots\\";

// The test root's key below HKEY_CURRENT_USER, empty for the real hives.
std::u16string redirectedRoot() {
    std::u16string value = win32::environmentVariable(L"VANTRO_REGISTRY_ROOT");
    if (value.empty())
        return {};
    for (char16_t& unit : value) {
        if (unit == u'\\')
            unit = u'/';
    }
    std::u16string root = kRootsKey;
    root += value;
    return root;
}

// The real root key and the path below it where a hive's keys live.
HKEY hiveRoot(RegHive hive, std::u16string& prefix) {
    prefix = redirectedRoot();
    if (prefix.empty())
        return hive == RegHive::currentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    prefix += hive == RegHive::currentUser ? u"\\HKCU" : u"\\HKLM";
    return HKEY_CURRENT_USER;
}

// Checks a key path and drops its one allowed trailing backslash.
bool normalisePath(std::u16string_view& path) {
    if (!path.empty() && path.front() == u'\\')
        return false;
    if (!path.empty() && path.back() == u'\\')
        path.remove_suffix(1);
    size_t start = 0;
    while (start <= path.size() && !path.empty()) {
        const size_t slash = std::min(path.find(u'\\', start), path.size());
        if (slash == start || slash - start > kMaxKeyNameUnits)
            return false;
        start = slash + 1;
    }
    return true;
}

std::u16string joinPath(const std::u16string& prefix, std::u16string_view path) {
    if (prefix.empty())
        return std::u16string(path);
    return path.empty() ? prefix : prefix + u"\\" + std::u16string(path);
}

// dir_ holds the real root key ('U' HKEY_CURRENT_USER, 'L' HKEY_LOCAL_MACHINE) and
// the key's path below it, in UTF-8.
std::string describe(HKEY root, const std::u16string& fullPath) {
    std::string dir(1, root == HKEY_LOCAL_MACHINE ? 'L' : 'U');
    dir += toUtf8(fullPath);
    return dir;
}

HKEY rootOf(const std::string& dir) { return dir[0] == 'L' ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

// Opens the key a RegistryKey names; kErrorKeyDeleted when it is gone.
long reopen(const std::string& dir, REGSAM access, HKEY& out) {
    const std::wstring path = win32::wide(fromUtf8(std::string_view(dir).substr(1)));
    const LONG rc = ::RegOpenKeyExW(rootOf(dir), path.c_str(), 0, access, &out);
    return rc == ERROR_FILE_NOT_FOUND ? kErrorKeyDeleted : rc;
}

class KeyHandle {
public:
    ~KeyHandle() {
        if (key)
            ::RegCloseKey(key);
    }
    HKEY key = nullptr;
};

}  // namespace

std::string RegistryKey::rootDirectory() {
    const std::u16string root = redirectedRoot();
    if (root.empty())
        return {};
    std::string path = "HKEY_CURRENT_USER\\";
    path += toUtf8(root);
    return path;
}

long RegistryKey::open(RegHive hive, std::u16string_view path, RegistryKey& out) {
    out.dir_.clear();
    if (!normalisePath(path))
        return kErrorInvalidParameter;
    std::u16string prefix;
    const HKEY root = hiveRoot(hive, prefix);
    const std::u16string full = joinPath(prefix, path);
    KeyHandle key;
    const LONG rc = ::RegOpenKeyExW(root, win32::wide(full).c_str(), 0, KEY_READ, &key.key);
    if (rc == ERROR_FILE_NOT_FOUND && !prefix.empty() && path.empty())
        return create(hive, path, out);  // a test root's hive exists from the start, as a real one does
    if (rc != ERROR_SUCCESS)
        return rc;
    out.dir_ = describe(root, full);
    return kErrorSuccess;
}

long RegistryKey::create(RegHive hive, std::u16string_view path, RegistryKey& out) {
    out.dir_.clear();
    if (!normalisePath(path))
        return kErrorInvalidParameter;
    std::u16string prefix;
    const HKEY root = hiveRoot(hive, prefix);
    const std::u16string full = joinPath(prefix, path);
    KeyHandle key;
    const LONG rc = ::RegCreateKeyExW(root, win32::wide(full).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_READ | KEY_WRITE, nullptr, &key.key, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    out.dir_ = describe(root, full);
    return kErrorSuccess;
}

long RegistryKey::deleteKey(RegHive hive, std::u16string_view path) {
    if (!normalisePath(path))
        return kErrorInvalidParameter;
    if (path.empty())
        return kErrorAccessDenied;
    std::u16string prefix;
    const HKEY root = hiveRoot(hive, prefix);
    return ::RegDeleteTreeW(root, win32::wide(joinPath(prefix, path)).c_str());
}

long RegistryKey::queryValue(std::u16string_view name, RegType* type, std::vector<uint8_t>* data) const {
    if (!isOpen())
        return kErrorInvalidHandle;
    KeyHandle key;
    if (const long rc = reopen(dir_, KEY_READ, key.key))
        return rc;
    const std::wstring valueName = win32::wide(name);
    for (int attempt = 0; attempt < 8; ++attempt) {  // the value may grow between the calls
        DWORD kind = 0;
        DWORD size = 0;
        LONG rc = ::RegQueryValueExW(key.key, valueName.c_str(), nullptr, &kind, nullptr, &size);
        if (rc != ERROR_SUCCESS)
            return rc;
        std::vector<uint8_t> bytes(size);
        rc = ::RegQueryValueExW(key.key, valueName.c_str(), nullptr, &kind, bytes.data(), &size);
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc != ERROR_SUCCESS)
            return rc;
        bytes.resize(size);
        if (type)
            *type = static_cast<RegType>(kind);
        if (data)
            *data = std::move(bytes);
        return kErrorSuccess;
    }
    return kErrorMoreData;
}

long RegistryKey::setValue(std::u16string_view name, RegType type, const void* data, size_t size) {
    if (!isOpen())
        return kErrorInvalidHandle;
    if (name.size() > kMaxValueNameUnits || (!data && size != 0) || size > UINT32_MAX)
        return kErrorInvalidParameter;
    KeyHandle key;
    if (const long rc = reopen(dir_, KEY_SET_VALUE, key.key))
        return rc;
    return ::RegSetValueExW(key.key, win32::wide(name).c_str(), 0, static_cast<DWORD>(type),
                            static_cast<const BYTE*>(data), static_cast<DWORD>(size));
}

long RegistryKey::deleteValue(std::u16string_view name) {
    if (!isOpen())
        return kErrorInvalidHandle;
    KeyHandle key;
    if (const long rc = reopen(dir_, KEY_SET_VALUE, key.key))
        return rc;
    return ::RegDeleteValueW(key.key, win32::wide(name).c_str());
}

namespace {

// One value of an open key by index; the key may change between the calls that size
// and read it, so a value that grew is read again.
long readValueAt(HKEY key, uint32_t index, RegValue& out) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD maxName = 0, maxData = 0;
        LONG rc = ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                                     &maxData, nullptr, nullptr);
        if (rc != ERROR_SUCCESS)
            return rc;
        std::vector<wchar_t> name(maxName + 1);
        std::vector<uint8_t> data(maxData);
        DWORD nameUnits = maxName + 1, dataSize = maxData, kind = 0;
        rc = ::RegEnumValueW(key, index, name.data(), &nameUnits, nullptr, &kind, data.data(), &dataSize);
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc != ERROR_SUCCESS)
            return rc;
        data.resize(dataSize);
        out.name = win32::narrowWide(name.data(), nameUnits);
        out.type = static_cast<RegType>(kind);
        out.data = std::move(data);
        return kErrorSuccess;
    }
    return kErrorMoreData;
}

}  // namespace

long RegistryKey::enumValue(uint32_t index, RegValue& out) const {
    if (!isOpen())
        return kErrorInvalidHandle;
    KeyHandle key;
    if (const long rc = reopen(dir_, KEY_READ, key.key))
        return rc;
    return readValueAt(key.key, index, out);
}

// One opened key for the whole listing, not one per value.
long RegistryKey::enumValues(std::vector<RegValue>& out) const {
    out.clear();
    if (!isOpen())
        return kErrorInvalidHandle;
    KeyHandle key;
    if (const long rc = reopen(dir_, KEY_READ, key.key))
        return rc;
    for (uint32_t index = 0;; ++index) {
        RegValue value;
        const long rc = readValueAt(key.key, index, value);
        if (rc == kErrorNoMoreItems)
            return kErrorSuccess;
        if (rc != kErrorSuccess) {
            out.clear();
            return rc;
        }
        out.push_back(std::move(value));
    }
}

long RegistryKey::deleteValues(const std::vector<std::u16string>& names) {
    if (!isOpen())
        return kErrorInvalidHandle;
    KeyHandle key;
    if (const long rc = reopen(dir_, KEY_SET_VALUE, key.key))
        return rc;
    for (const std::u16string& name : names) {
        const LONG rc = ::RegDeleteValueW(key.key, win32::wide(name).c_str());
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
            return rc;
    }
    return kErrorSuccess;
}

long RegistryKey::enumSubKey(uint32_t index, std::u16string& out) const {
    if (!isOpen())
        return kErrorInvalidHandle;
    KeyHandle key;
    if (const long rc = reopen(dir_, KEY_READ, key.key))
        return rc;
    wchar_t name[kMaxKeyNameUnits + 1];
    DWORD units = kMaxKeyNameUnits + 1;
    const LONG rc = ::RegEnumKeyExW(key.key, index, name, &units, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    out = win32::narrowWide(name, units);
    return kErrorSuccess;
}

long RegistryKey::queryInfo(uint32_t* subKeyCount, uint32_t* valueCount) const {
    if (!isOpen())
        return kErrorInvalidHandle;
    KeyHandle key;
    if (const long rc = reopen(dir_, KEY_READ, key.key))
        return rc;
    DWORD subKeys = 0, values = 0;
    const LONG rc = ::RegQueryInfoKeyW(key.key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                                       nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (subKeyCount)
        *subKeyCount = subKeys;
    if (valueCount)
        *valueCount = values;
    return kErrorSuccess;
}

}  // namespace vantro::platform
