#pragma once
// Version comparison used by the plug-in's own update check and by the renderer
// discovery.

#include <string_view>

namespace vantro {

// The oldest Velora whose channel this link speaks.
inline constexpr char16_t kMinimumVeloraVersion[] = u"8.3.0";

// Compares two version texts read like "%d.%d.%d.%d": four integers that start at 0;
// reading stops at the first character that does not fit the pattern and the
// components not read stay 0 ("3.50rc.52" reads as 3, 50, 0, 0). Each number may be
// preceded by white space and a sign; a value beyond the 32-bit range saturates.
// Returns 1 when a is greater at the first differing component, -1 when smaller,
// 0 when all four are equal. Pure; any thread.
int CompareVersions(std::u16string_view a, std::u16string_view b);

}  // namespace vantro
