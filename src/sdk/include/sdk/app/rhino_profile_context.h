#pragma once
// CRhinoProfileContext: the host's profile (per-user settings of plug-ins), kept in
// the platform registry store under HKEY_CURRENT_USER\<root>\<section>. Strings are
// stored as REG_SZ, booleans and integers as REG_DWORD.
//
// Loads leave the output untouched and return false when the entry is missing or of
// another type; saves return false when the store cannot be written. Sections may
// contain '\' (nested keys).
// Thread-safety: main thread only (the store itself is process-safe).

#include "sdk/geometry/on_string.h"

class CRhinoProfileContext {
public:
    explicit CRhinoProfileContext(const ON_wString& rootKey) : root_(rootKey) {}

    bool LoadProfileString(const char16_t* section, const char16_t* entry, ON_wString& value) const;
    bool LoadProfileBool(const char16_t* section, const char16_t* entry, bool* value) const;
    bool LoadProfileInt(const char16_t* section, const char16_t* entry, int* value) const;
    bool SaveProfileString(const char16_t* section, const char16_t* entry, const char16_t* value) const;
    bool SaveProfileBool(const char16_t* section, const char16_t* entry, bool value) const;
    bool SaveProfileInt(const char16_t* section, const char16_t* entry, int value) const;

private:
    ON_wString keyPath(const char16_t* section) const;
    ON_wString root_;
};
