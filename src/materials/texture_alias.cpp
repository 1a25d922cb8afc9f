#include "texture_alias.h"

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "materials/material_names.h"
#include "platform/process.h"
#include "platform/utf.h"
#include "platform/window.h"

namespace vantro::materials {

namespace fs = std::filesystem;

namespace {

// An alias already pointing at target is kept; anything else under that name is
// replaced through a fresh link renamed over it, so a reader never sees it missing.
bool pointAliasAt(const fs::path& alias, const fs::path& target) {
    std::error_code error;
    if (fs::is_symlink(alias, error) && fs::read_symlink(alias, error) == target && !error)
        return true;
    const fs::path fresh = alias.parent_path() / ("." + alias.filename().string() + "." +
                                                  std::to_string(vantro::platform::currentProcessId()));
    fs::remove(fresh, error);
    fs::create_symlink(target, fresh, error);
    if (error)
        return false;
    fs::rename(fresh, alias, error);
    if (error)
        fs::remove(fresh, error);
    return !error;
}

}  // namespace

std::u16string ShortTextureAlias(const std::u16string& path, size_t maxUnits) {
    const std::string runtime = vantro::platform::runtimeDirectory();
    if (runtime.empty())
        return {};
    const fs::path target = vantro::platform::toUtf8(path);
    const fs::path folder = fs::path(runtime) / "textures";
    std::error_code error;
    fs::create_directories(folder, error);
    char stem[17];
    std::snprintf(stem, sizeof stem, "%016" PRIx64, NameKeyOfText(path));
    const fs::path alias = folder / (stem + target.extension().string());
    std::u16string aliasText = vantro::platform::fromUtf8(alias.string());
    if (aliasText.size() > maxUnits || !pointAliasAt(alias, target))
        return {};
    return aliasText;
}

}  // namespace vantro::materials
