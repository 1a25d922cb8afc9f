#include "io/document_reader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "io/document_builder.h"
#include "io/document_checker.h"
#include "io/document_meshing.h"
#include "io/document_parser.h"
#include "io/import_3dm.h"
#include "sdk/app/rhino_app_settings.h"
#include "sdk/document/rhino_doc.h"

namespace vantro::docio {
namespace {

namespace fs = std::filesystem;

bool fileExists(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// Texture paths are often written on another machine ("C:\Maps\oak.jpg"); the file
// counts as present when it exists as written, relative to the document, or under its
// own name beside the document.
bool textureFileFound(const ON_Texture& t, const fs::path& baseDir) {
    std::string full = t.m_image_file_reference.FullPath().ToUtf8();
    if (fileExists(full))
        return true;
    const std::string relative = t.m_image_file_reference.RelativePath().ToUtf8();
    if (!relative.empty() && fileExists(baseDir / relative))
        return true;
    std::replace(full.begin(), full.end(), '\\', '/');
    const std::string name(fileNameOf(full));
    return !name.empty() && fileExists(baseDir / name);
}

bool embedded(const DocumentData& d, const ON_Texture& t) {
    for (const ON_Bitmap& b : d.bitmaps) {
        if (ON_UuidIsNotNil(t.m_texture_id) && b.Id() == t.m_texture_id)
            return true;
        if (b.m_file_reference.FullPath() == t.m_image_file_reference.FullPath())
            return true;
    }
    return false;
}

void warnMissingTextures(const DocumentData& d, const fs::path& baseDir, std::vector<std::string>& warnings) {
    for (size_t i = 0; i < d.materials.size(); ++i) {
        for (const ON_Texture& t : d.materials[i].m_textures) {
            if (t.m_image_file_reference.FullPath().IsEmpty() || embedded(d, t) || textureFileFound(t, baseDir))
                continue;
            warnings.push_back(entryLabel("material", i, d.materials[i].Name(), d.materials[i].Id()) +
                               ": texture file \"" + t.m_image_file_reference.FullPath().ToUtf8() + "\" not found");
        }
    }
}

bool isEmpty(const CRhinoDoc& doc) {
    return doc.m_layer_table.LayerCount() == 0 && doc.m_material_table.MaterialCount() == 0 && doc.Objects().empty() &&
           doc.m_instance_definition_table.InstanceDefinitionCount() == 0;
}

// foreign: converted from another application's file (its unrendered kinds are
// counted for the user).
DocumentLoadResult readText(std::string_view text, const BinarySource& binary, bool foreign, std::string_view name,
                            const fs::path& baseDir, CRhinoDoc& doc) {
    DocumentLoadResult result;
    const std::string prefix = std::string(name) + ": ";
    auto failWith = [&](const std::string& what) {
        result.error = prefix + what;
        result.warnings.clear();
        return result;
    };
    if (!isEmpty(doc))
        return failWith("the target document is not empty");
    auto data = std::make_unique<DocumentData>();
    ParseOutcome parsed = parseDocument(text, *data, binary);
    if (!parsed.ok)
        return failWith(parsed.error);
    std::vector<std::string> warnings = std::move(data->fileWarnings);
    warnings.insert(warnings.end(), parsed.warnings.begin(), parsed.warnings.end());
    BuildPlan plan;
    if (auto problem = checkDocument(*data, plan, warnings))
        return failWith(*problem);
    warnMissingTextures(*data, baseDir, warnings);
    meshDocumentObjects(*data, warnings, foreign);
    if (auto problem = buildDocument(*data, plan, doc))
        return failWith(*problem);
    for (const std::string& w : warnings)
        result.warnings.push_back(prefix + w);
    result.appSettings = std::move(data->appSettings);
    result.ok = true;
    return result;
}

bool hasExtension(std::string_view path, std::string_view ext) {
    if (path.size() < ext.size())
        return false;
    const std::string_view tail = path.substr(path.size() - ext.size());
    for (size_t i = 0; i < ext.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(tail[i])) != ext[i])
            return false;
    }
    return true;
}

// The whole file, or nothing with the system's reason in error.
std::optional<std::string> readFile(const std::string& path, std::string& error) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    std::string text;
    char buf[1 << 16];
    size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, file.get())) > 0)
        text.append(buf, n);
    if (std::ferror(file.get())) {
        error = "read error";
        return std::nullopt;
    }
    return text;
}

}  // namespace

std::string_view fileNameOf(std::string_view path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

DocumentLoadResult readDocumentJson(std::string_view text, std::string_view fileName, CRhinoDoc& doc) {
    std::error_code ec;
    return readText(text, BinarySource{}, false, fileName, fs::current_path(ec), doc);
}

DocumentLoadResult readDocumentFile(const std::string& path, CRhinoDoc& doc) {
    const std::string_view name = fileNameOf(path);
    const fs::path baseDir = fs::path(path).parent_path();
    DocumentLoadResult result;
    std::string error;
    std::optional<std::string> text;
    Converted3dm converted;
    if (hasExtension(path, ".3dm")) {
        converted = convert3dmToJson(path);
        if (!converted.ok) {
            result.error = std::string(name) + ": " + converted.error;
            return result;
        }
        text = std::move(converted.json);
    } else {
        text = readFile(path, error);
        if (!text) {
            result.error = std::string(name) + ": cannot read: " + error;
            return result;
        }
    }
    result = readText(*text, converted.binary(), hasExtension(path, ".3dm"), name, baseDir, doc);
    if (result.ok)
        doc.SetPathName(ON_wString::FromUtf8(path));
    return result;
}

void applyAppSettings(const AppSettingsData& settings, CRhinoAppSettings& target) {
    if (settings.defaultMaterial)
        target.SetDefaultMaterial(*settings.defaultMaterial);
    if (settings.autoSaveFile)
        target.FileSettings().SetAutoSaveFile(*settings.autoSaveFile);
    if (settings.autoSaveEnabled)
        target.FileSettings().SetAutoSaveEnabled(*settings.autoSaveEnabled);
    if (settings.searchPaths)
        target.FileSettings().SetSearchPaths(*settings.searchPaths);
}

}  // namespace vantro::docio
