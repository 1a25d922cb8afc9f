// A creator process that writes a small known scene into a connection the way the
// plug-in does (axes y and z exchanged, texture v flipped, index lists reversed), for
// the peer's picture and crash tests:
//
//   scene_creator_child NAME TEXTURE_FILE [recolour|drop|churn|quit]...
//
// The scene: a red closed box, a quad with an in-memory BMP texture sent two-sided, a
// floor textured by TEXTURE_FILE (written here), a camera and statistics. Prints
// "SCENE materials=3" once the peer is woken, then makes the edits, each once the peer
// has read the one before and as one batch followed by "DONE <edit>": recolour turns
// the box green, drop removes the floor's record, churn rewrites the box under the
// lock for ever (after "CHURNING"; the test kills it mid-cycle), quit closes the
// connection and ends.

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "link/live_connection.h"
#include "link/srfc_layout.h"
#include "platform/clock.h"
#include "platform/utf.h"

namespace {

using namespace VantroAPI;

struct Mesh {
    std::vector<float> positions, normals, uv;  // modeller's axes and v
    std::vector<uint32_t> indices;
    bool twoSided = false;

    void add(const Mesh& other) {
        const uint32_t base = static_cast<uint32_t>(positions.size() / 3);
        positions.insert(positions.end(), other.positions.begin(), other.positions.end());
        normals.insert(normals.end(), other.normals.begin(), other.normals.end());
        uv.insert(uv.end(), other.uv.begin(), other.uv.end());
        for (uint32_t i : other.indices)
            indices.push_back(base + i);
    }
};

Mesh quad(const float (&corners)[4][3], const float (&normal)[3]) {
    Mesh mesh;
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 4; ++i) {
        mesh.positions.insert(mesh.positions.end(), corners[i], corners[i] + 3);
        mesh.normals.insert(mesh.normals.end(), normal, normal + 3);
        mesh.uv.insert(mesh.uv.end(), uv[i], uv[i] + 2);
    }
    mesh.indices = {0, 1, 2, 0, 2, 3};
    return mesh;
}

// An axis-aligned box, outward faces counter-clockwise seen from outside.
Mesh box(float x0, float y0, float z0, float x1, float y1, float z1) {
    Mesh mesh;
    mesh.add(quad({{x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}}, {0, 0, -1}));
    mesh.add(quad({{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}}, {0, 0, 1}));
    mesh.add(quad({{x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}}, {0, -1, 0}));
    mesh.add(quad({{x1, y1, z0}, {x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}}, {0, 1, 0}));
    mesh.add(quad({{x0, y1, z0}, {x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}}, {-1, 0, 0}));
    mesh.add(quad({{x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}}, {1, 0, 0}));
    return mesh;
}

// The geometry buffer words of one mesh (and its back copy when two-sided).
std::vector<uint32_t> geometryWords(const Mesh& mesh) {
    const uint32_t n = static_cast<uint32_t>(mesh.positions.size() / 3), k = static_cast<uint32_t>(mesh.indices.size());
    const uint32_t copies = mesh.twoSided ? 2 : 1, v = n * copies;
    std::vector<uint32_t> words(3 + 8 * size_t(v) + k * copies);
    words[0] = v, words[1] = k * copies, words[2] = 1;
    auto put = [&](size_t word, float value) { std::memcpy(&words[word], &value, 4); };
    for (uint32_t copy = 0; copy < copies; ++copy) {
        const float sign = copy ? -1.0f : 1.0f;
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t at = copy * n + i;
            const float *p = &mesh.positions[3 * i], *q = &mesh.normals[3 * i];
            put(3 + 3 * at, p[0]), put(4 + 3 * at, p[2]), put(5 + 3 * at, p[1]);
            put(3 + 3 * v + 3 * at, sign * q[0]), put(4 + 3 * v + 3 * at, sign * q[2]);
            put(5 + 3 * v + 3 * at, sign * q[1]);
            put(3 + 6 * v + 2 * at, mesh.uv[2 * i]), put(4 + 6 * v + 2 * at, 1 - mesh.uv[2 * i + 1]);
        }
        for (uint32_t j = 0; j < k; ++j)
            words[3 + 8 * v + copy * k + j] = (copy ? mesh.indices[j] : mesh.indices[k - 1 - j]) + copy * n;
    }
    return words;
}

// A 4 x 4 BMP file image, 24 bits, bottom-up: a yellow/purple checker with one white
// texel in the top left corner.
std::vector<uint8_t> checkerBmp() {
    const int size = 4, row = 12;
    std::vector<uint8_t> bmp(54 + row * size, 0);
    auto u32 = [&](size_t at, uint32_t value) { std::memcpy(&bmp[at], &value, 4); };
    bmp[0] = 'B', bmp[1] = 'M', bmp[26] = 1, bmp[28] = 24;
    u32(2, uint32_t(bmp.size())), u32(10, 54), u32(14, 40), u32(18, size), u32(22, size), u32(34, row * size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int top = size - 1 - y;
            const bool white = x == 0 && top == 0, purple = (x + top) % 2;
            uint8_t* px = &bmp[54 + y * row + x * 3];
            px[0] = white ? 255 : purple ? 160 : 30;
            px[1] = white ? 255 : purple ? 40 : 200;
            px[2] = white ? 255 : purple ? 120 : 230;
        }
    }
    return bmp;
}

LiveConnection channel;

RecordPrefix* material(const char16_t* name, uint32_t diffuse) {
    RecordPrefix* record = channel.AddRecord(kTagSrfc);
    srfc::storeFixedText(record, srfc::kName, name);
    store(record, srfc::kDiffuse, diffuse);
    store(record, srfc::kShine, 0.3f);
    store(record, srfc::kOpacity, 1.0f);
    store(record, srfc::kRevision, load(record, srfc::kRevision) + 1);
    return record;
}

void geometry(RecordPrefix* record, const Mesh& mesh) {
    const std::vector<uint32_t> words = geometryWords(mesh);
    const uint32_t need = uint32_t(words.size() * 4);
    uint32_t buffer = load(record, srfc_record::kGeometryBuffer);
    if (load(record, srfc_record::kGeometryCapacity) < need) {
        channel.DestroyBuffer(buffer);
        buffer = channel.CreateBuffer(load(record, record::kId), 2 * need);
        store(record, srfc_record::kGeometryBuffer, buffer);
        store(record, srfc_record::kGeometryCapacity, 2 * need);
    }
    if (void* bytes = channel.MapBuffer(buffer))
        std::memcpy(bytes, words.data(), need);
    store(record, srfc_record::kGeometryChangeCount, load(record, srfc_record::kGeometryChangeCount) + 1);
}

// Camera at eye looking at target, modeller's axes, up z; as the camera sender builds
// it: rows right, up, forward and the location, in the renderer's axes.
void camera(const float (&eye)[3], const float (&target)[3], float fovDegrees) {
    using V = std::array<float, 3>;
    auto normalise = [](V v) {
        const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        return V{v[0] / length, v[1] / length, v[2] / length};
    };
    auto cross = [](const V& a, const V& b) {
        return V{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    };
    const V l{eye[0], eye[2], eye[1]};
    const V f = normalise({target[0] - l[0], target[2] - l[1], target[1] - l[2]});
    const V r = normalise(cross({0, 1, 0}, f)), u = cross(f, r);
    ViewData view{};
    for (int k = 0; k < 3; ++k) {
        view.viewMatrix[k] = r[k], view.viewMatrix[4 + k] = u[k], view.viewMatrix[8 + k] = f[k];
        view.viewMatrix[12 + k] = view.position[k] = l[k];
        view.direction[k] = -f[k];
        view.up[k] = u[k];
    }
    view.viewMatrix[15] = 1;
    view.cameraKind = kCameraPerspective;
    view.fieldOfView = fovDegrees;
    channel.SetView(false, &view);
}

void changed(RecordPrefix* record, uint32_t flags) { channel.SetRecordFlags(record, kRecordChanged | flags); }

// A peer slowed down by sanitizers or a busy machine must see every edit on its own:
// edits made before it read the last one would arrive together, or after the close.
bool peerHasRead() {
    constexpr uint64_t kPatienceNs = 60'000'000'000;
    const uint64_t start = vantro::platform::monotonicNanoseconds();
    while (channel.TestFlags(kHeaderChanged)) {
        if (vantro::platform::monotonicNanoseconds() - start > kPatienceNs)
            return false;
        vantro::platform::sleepMilliseconds(5);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc < 3)
        return 2;
    if (channel.Create(vantro::platform::fromUtf8(argv[1]), 64) != 0) {
        std::printf("CREATE failed\n");
        return 1;
    }
    std::vector<uint8_t> floorImage = checkerBmp();
    std::swap(floorImage[54], floorImage[57]);  // a slightly different file than the quad's
    std::ofstream(argv[2], std::ios::binary)
        .write(reinterpret_cast<const char*>(floorImage.data()), std::streamsize(floorImage.size()));

    camera({3.5f, -5, 2.5f}, {0, 0, 0.4f}, 40);
    channel.SetStatistics({{u"name", {0, u"known scene"}}});
    if (!channel.Lock(1'000'000))
        return 1;
    RecordPrefix* red = material(u"Material-Red", 0xFFD02020);
    geometry(red, box(-1.2f, -0.4f, 0, -0.4f, 0.4f, 0.8f));

    RecordPrefix* panel = material(u"Material-Panel", 0xFF808080);
    const std::vector<uint8_t> image = checkerBmp();
    const uint32_t imageBuffer = channel.CreateBuffer(load(panel, record::kId), uint32_t(image.size()));
    if (void* bytes = channel.MapBuffer(imageBuffer))
        std::memcpy(bytes, image.data(), image.size());
    store(panel, srfc::kTextureBuffer, imageBuffer);
    store(panel, srfc::kDiffuse, srfc::kTexturedDiffuse);
    store(panel, srfc::kTextureStamp, 1u);
    Mesh panelMesh = quad({{0.2f, 0, 0}, {1.2f, 0, 0}, {1.2f, 0, 1}, {0.2f, 0, 1}}, {0, -1, 0});
    panelMesh.twoSided = true;
    geometry(panel, panelMesh);

    RecordPrefix* floor = material(u"Material-Floor", 0xFF808080);
    std::u16string path = vantro::platform::fromUtf8(argv[2]);
    for (char16_t& c : path)
        c = c == u'/' ? u'\\' : c;
    srfc::storeFixedText(floor, srfc::kTexturePath, path);
    store(floor, srfc::kDiffuse, srfc::kTexturedDiffuse);
    store(floor, srfc::kTextureStamp, 7u);
    geometry(floor, quad({{-2, -1.5f, 0}, {2, -1.5f, 0}, {2, 1.5f, 0}, {-2, 1.5f, 0}}, {0, 0, 1}));
    for (RecordPrefix* record : {red, panel, floor})
        changed(record, srfc::kMaterialChanged | srfc::kTextureChanged);
    channel.Unlock();
    channel.SetFlags(kHeaderChanged);
    channel.Register();
    channel.NotifyPeer(2, 0);
    std::printf("SCENE materials=3\n");

    for (int i = 3; i < argc; ++i) {
        const std::string edit = argv[i];
        if (!peerHasRead())
            std::printf("UNREAD before %s\n", edit.c_str());
        if (edit == "quit") {
            channel.Close();
            std::printf("DONE quit\n");
            return 0;
        }
        if (!channel.Lock(1'000'000))
            continue;
        if (edit == "recolour") {
            store(red, srfc::kDiffuse, 0xFF20C040u);
            store(red, srfc::kRevision, load(red, srfc::kRevision) + 1);
            changed(red, srfc::kMaterialChanged);
        } else if (edit == "drop") {
            channel.RemoveRecord(load(floor, record::kId));
        } else if (edit == "churn") {
            std::printf("CHURNING\n");
            // Lock held most of the time, buffers replaced while growing: a kill lands
            // mid-cycle.
            for (uint32_t n = 1;; ++n) {
                Mesh grown;
                for (uint32_t b = 0; b < (n % 50) + 1; ++b)
                    grown.add(box(float(b), 0, 0, float(b) + 0.5f, 0.5f, 0.5f));
                geometry(red, grown);
                changed(red, 0);
                channel.SetFlags(kHeaderChanged);
                channel.Unlock();
                channel.NotifyPeer(2, 0);
                vantro::platform::sleepMilliseconds(2);
                channel.Lock(1'000'000);
            }
        }
        channel.Unlock();
        channel.SetFlags(kHeaderChanged);
        channel.NotifyPeer(2, 0);
        std::printf("DONE %s\n", edit.c_str());
    }
    vantro::platform::sleepMilliseconds(60000);
    return 0;
}
