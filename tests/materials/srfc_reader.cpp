// A second process that reads material records the way the renderer would: it opens
// the connection by name, takes the lock, and prints every "SRFC" record's material half,
// one line per record ("srfc id=5 flags=0x301 ... name=Material-Wood library= path="),
// texts as UTF-8 (the tests' texts hold no blanks).
//   srfc_reader NAME [--save-buffers DIR] [--probe-buffer ID]...
// --save-buffers writes each texture buffer (capacity bytes, at most what is mapped) to
// DIR/<buffer id>.bmp; --probe-buffer prints whether a buffer still opens ("buffer id=7
// exists=0"). Exit code 0, or 2 when the connection cannot be opened or locked.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "link/live_connection.h"
#include "link/srfc_layout.h"
#include "platform/utf.h"

using namespace VantroAPI;
using vantro::platform::toUtf8;

namespace {

bool allZero(const std::byte* record, uint32_t offset, uint32_t size) {
    return std::all_of(record + offset, record + offset + size, [](std::byte b) { return b == std::byte{0}; });
}

// The fields that are the same in every record the writer makes.
bool constantsOk(const std::byte* r) {
    return load(r, srfc::kHalf) == 0.5f && load(r, srfc::kZeroFloat) == 0.0f && load(r, srfc::kZero820) == 0 &&
           load(r, srfc::kZero828) == 0 && load(r, srfc::kOne) == 1.0f && load(r, srfc::kZero836) == 0 &&
           load(r, srfc::kMinusOne) == -1 && allZero(r, srfc::kZeroBlockOffset, srfc::kZeroBlockSize) &&
           load(r, srfc::kZero1912) == 0 && load(r, record::kSize) == kSrfcRecordSize;
}

void printRecord(LiveConnection& link, const RecordPrefix* prefix, const std::string& saveDir) {
    const auto* r = reinterpret_cast<const std::byte*>(prefix);
    const uint32_t buffer = load(r, srfc::kTextureBuffer);
    const uint32_t capacity = load(r, srfc::kTextureCapacity);
    size_t mapped = 0;
    if (buffer != 0 && link.MapBuffer(buffer)) {
        mapped = link.MappedBufferSize(buffer);
        if (!saveDir.empty()) {
            std::ofstream file(saveDir + "/" + std::to_string(buffer) + ".bmp", std::ios::binary);
            file.write(static_cast<const char*>(link.MapBuffer(buffer)),
                       std::streamsize(std::min<size_t>(capacity, mapped)));
        }
    }
    std::printf(
        "srfc id=%u flags=0x%x changeCount=%u revision=%u type=%d diffuse=0x%08x shine=%.9g opacity=%.9g "
        "constantsOk=%d stamp=%u buffer=%u capacity=%u mapped=%zu name=%s library=%s path=%s\n",
        load(r, record::kId), load(r, record::kFlags), load(r, record::kChangeCount), load(r, srfc::kRevision),
        load(r, srfc::kType), load(r, srfc::kDiffuse), double(load(r, srfc::kShine)), double(load(r, srfc::kOpacity)),
        constantsOk(r) ? 1 : 0, load(r, srfc::kTextureStamp), buffer, capacity, mapped,
        toUtf8(loadText(r, srfc::kName)).c_str(), toUtf8(loadText(r, srfc::kLibraryId)).c_str(),
        toUtf8(loadText(r, srfc::kTexturePath)).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: srfc_reader NAME [--save-buffers DIR] [--probe-buffer ID]...\n");
        return 2;
    }
    std::string saveDir;
    std::vector<uint32_t> probes;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--save-buffers") == 0)
            saveDir = argv[i + 1];
        else if (std::strcmp(argv[i], "--probe-buffer") == 0)
            probes.push_back(uint32_t(std::stoul(argv[i + 1], nullptr, 0)));
    }
    LiveConnection link;
    if (link.Open(vantro::platform::fromUtf8(argv[1])) != 0) {
        std::printf("open failed\n");
        return 2;
    }
    if (!link.Lock(2000000)) {
        std::printf("lock failed\n");
        return 2;
    }
    std::vector<RecordPrefix*> records;
    link.FindRecords(records, kTagSrfc, 0, 0);
    for (const RecordPrefix* record : records)
        printRecord(link, record, saveDir);
    for (uint32_t id : probes)
        std::printf("buffer id=%u exists=%d\n", id, link.MapBuffer(id) ? 1 : 0);
    link.Unlock();
    std::printf("done records=%zu\n", records.size());
    std::fflush(stdout);
    link.Disconnect();
    return 0;
}
