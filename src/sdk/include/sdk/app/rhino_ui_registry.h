#pragma once
// CRhinoUiRegistry: a small wrapper over a registry key of the platform store, as the
// SDK offers it. Open with writable = true creates the key when missing; a key opened
// read-only refuses writes. Queries return false (output untouched) for a missing
// value or one of another type; a string value's trailing NULs are dropped and at
// most the first 32767 code units are kept.
// Thread-safety: one object per thread; the store itself is process-safe.

#include <cstdint>
#include <memory>

#include "platform/registry.h"
#include "sdk/geometry/on_string.h"

class CRhinoUiRegistry {
public:
    CRhinoUiRegistry();
    ~CRhinoUiRegistry();
    CRhinoUiRegistry(const CRhinoUiRegistry&) = delete;
    CRhinoUiRegistry& operator=(const CRhinoUiRegistry&) = delete;

    // Opens hive\subKey; closes any key opened before. False when a read-only open
    // finds no key, or the store fails.
    bool Open(vantro::platform::RegHive hive, const ON_wString& subKey, bool writable);
    bool IsOpen() const;
    void Close();
    // Writes are immediate in the store; Flush only reports whether a key is open.
    bool Flush();

    bool QueryStringValue(const char16_t* name, ON_wString& value) const;
    bool QueryDWORDValue(const char16_t* name, uint32_t& value) const;
    bool SetStringValue(const char16_t* name, const char16_t* value);
    bool SetDWORDValue(const char16_t* name, uint32_t value);

private:
    std::unique_ptr<vantro::platform::RegistryKey> key_;
    bool writable_ = false;
};
