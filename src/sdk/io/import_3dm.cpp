#include "io/import_3dm.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/process.h"
#include "platform/utf.h"

namespace vantro::docio {
namespace {

namespace fs = std::filesystem;

constexpr const char* kScriptRelative = "tools/3dm-to-json.mjs";

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// The first ancestor of start (start included) that holds the script.
std::string searchUpward(fs::path start) {
    std::error_code ec;
    for (fs::path dir = start; !dir.empty(); dir = dir.parent_path()) {
        const fs::path candidate = dir / kScriptRelative;
        if (fs::is_regular_file(candidate, ec))
            return candidate.string();
        if (dir == dir.parent_path())
            break;
    }
    return {};
}

// One argument for /bin/sh: single-quoted, with embedded quotes closed and escaped.
std::string shellQuote(const std::string& arg) {
    std::string out = "'";
    for (const char c : arg) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

// The whole file in one allocation of its size.
std::string slurp(const fs::path& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    std::ifstream in(path, std::ios::binary);
    if (ec || !in)
        return {};
    std::string text(static_cast<size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

// The line of the converter's output that says what went wrong: its own message
// (without the "3dm-to-json: <file>: " prefix), else the first line naming an error
// (node's own failures, e.g. a missing package), else the last line.
std::string reason(const std::string& output) {
    std::istringstream in(output);
    std::string line;
    std::string firstError;
    std::string last;
    const std::string prefix = "3dm-to-json: ";
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        if (line.rfind(prefix, 0) == 0) {
            const size_t afterFile = line.find(": ", prefix.size());
            return afterFile == std::string::npos ? line.substr(prefix.size()) : line.substr(afterFile + 2);
        }
        if (firstError.empty() && line.find("Error") != std::string::npos)
            firstError = line;
        last = line;
    }
    std::string text = firstError.empty() ? last : firstError;
    constexpr size_t kMax = 300;
    if (text.size() > kMax)
        text = text.substr(0, kMax) + "...";
    return text;
}

// Temporary output and error files of one conversion, removed when it ends.
class TemporaryFiles {
public:
    TemporaryFiles() {
        static std::atomic<unsigned> counter{0};
        std::error_code ec;
        const fs::path dir = fs::temp_directory_path(ec);
        const std::string stem =
            "vantro-3dm-" + std::to_string(platform::currentProcessId()) + "-" + std::to_string(counter.fetch_add(1));
        json_ = (ec ? fs::path("/tmp") : dir) / (stem + ".json");
        errors_ = json_;
        errors_.replace_extension(".err");
        binary_ = json_.string() + ".bin";
    }
    ~TemporaryFiles() {
        std::error_code ec;
        fs::remove(json_, ec);
        fs::remove(errors_, ec);
        fs::remove(binary_, ec);
    }
    TemporaryFiles(const TemporaryFiles&) = delete;
    TemporaryFiles& operator=(const TemporaryFiles&) = delete;
    const fs::path& json() const { return json_; }
    const fs::path& errors() const { return errors_; }
    const fs::path& binary() const { return binary_; }

private:
    fs::path json_;
    fs::path errors_;
    fs::path binary_;
};

}  // namespace

std::string findConverterScript() {
    const std::string configured = environment("VANTRO_3DM_CONVERTER");
    if (!configured.empty())
        return configured;
    std::u16string image;
    if (platform::queryProcessImagePath(platform::currentProcessId(), image, 4096)) {
        std::string found = searchUpward(fs::path(platform::toUtf8(image)).parent_path());
        if (!found.empty())
            return found;
    }
    std::error_code ec;
    return searchUpward(fs::current_path(ec));
}

Converted3dm convert3dmToJson(const std::string& path) {
    Converted3dm result;
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        result.error = "cannot read: no such file";
        return result;
    }
    const std::string script = findConverterScript();
    if (script.empty()) {
        result.error = std::string("cannot convert: ") + kScriptRelative +
                       " not found (set VANTRO_3DM_CONVERTER to its full path)";
        return result;
    }
    std::string node = environment("VANTRO_NODE");
    if (node.empty())
        node = "node";
    TemporaryFiles files;
    const std::string command = shellQuote(node) + " " + shellQuote(script) + " --binary " + shellQuote(path) + " " +
                                shellQuote(files.json().string()) + " 2> " + shellQuote(files.errors().string());
    const int status = std::system(command.c_str());
    if (status != 0) {
        const std::string why = reason(slurp(files.errors()));
        result.error = "cannot convert: " + (why.empty() ? std::string("the converter failed") : why);
        return result;
    }
    result.json = slurp(files.json());
    // Opened before the temporary files go: the arrays are read from it as the text is
    // parsed, so the companion is never held in memory beside them.
    if (fs::is_regular_file(files.binary(), ec)) {
        result.binarySize = fs::file_size(files.binary(), ec);
        result.binaryFile.reset(std::fopen(files.binary().c_str(), "rb"), &std::fclose);
        if (ec || !result.binaryFile) {
            result.error = "cannot convert: the converter's binary output cannot be read";
            return result;
        }
    }
    if (result.json.empty()) {
        result.error = "cannot convert: the converter wrote nothing";
        return result;
    }
    result.ok = true;
    return result;
}

BinarySource Converted3dm::binary() const {
    if (!binaryFile)
        return {};
    std::FILE* file = binaryFile.get();
    return {binarySize, [file](uint64_t offset, size_t bytes, void* into) {
                return std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0 &&
                       std::fread(into, 1, bytes, file) == bytes;
            }};
}

}  // namespace vantro::docio
