#include "picture_renderer.h"

#include <GL/osmesa.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

// Mesa's off-screen driver keeps a few hundred bytes of a framebuffer past the
// destruction of its context, out of our reach; leak-checking builds are told so.
// (Only a sanitizer runtime ever calls this.)
extern "C" const char* __lsan_default_suppressions() { return "leak:libOSMesa.so\n"; }

namespace vantro::peer {

namespace {

using Vec3 = std::array<float, 3>;

Vec3 sub(Vec3 a, Vec3 b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec3 add(Vec3 a, Vec3 b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
Vec3 scale(Vec3 a, float s) { return {a[0] * s, a[1] * s, a[2] * s}; }
float dot(Vec3 a, Vec3 b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 cross(Vec3 a, Vec3 b) { return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]}; }
Vec3 normalise(Vec3 a) {
    const float length = std::sqrt(dot(a, a));
    return length > 0 && std::isfinite(length) ? scale(a, 1 / length) : Vec3{0, 0, 0};
}
bool finite(Vec3 a) { return std::isfinite(a[0]) && std::isfinite(a[1]) && std::isfinite(a[2]); }

// Bounding sphere of every finite vertex; radius 0 when there is none.
struct Bounds {
    Vec3 centre{0, 0, 0};
    float radius = 0;
};

Bounds modelBounds(const PeerMirror& mirror) {
    Vec3 low{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(), std::numeric_limits<float>::max()};
    Vec3 high = scale(low, -1);
    bool any = false;
    for (const auto& [id, material] : mirror.materials()) {
        const std::vector<float>& p = material.mesh.positions;
        for (size_t i = 0; i + 2 < p.size(); i += 3) {
            const Vec3 v{p[i], p[i + 1], p[i + 2]};
            if (!finite(v))
                continue;
            any = true;
            for (int k = 0; k < 3; ++k) {
                low[k] = std::min(low[k], v[k]);
                high[k] = std::max(high[k], v[k]);
            }
        }
    }
    if (!any)
        return {};
    return {scale(add(low, high), 0.5f), 0.5f * std::sqrt(dot(sub(high, low), sub(high, low)))};
}

// A camera in the renderer's axes: eye, unit right/up/forward (towards what it
// looks at) and the full vertical angle.
struct Camera {
    Vec3 eye{0, 0, 0}, right{1, 0, 0}, up{0, 1, 0}, forward{0, 0, 1};
    float fovDegrees = 45;
};

bool cameraFromRecord(const CameraFields& fields, Camera& out) {
    const VantroAPI::ViewData& view = fields.view;
    if (view.cameraKind != VantroAPI::kCameraPerspective)
        return false;
    const float* m = view.viewMatrix;
    Camera camera;
    camera.right = normalise({m[0], m[1], m[2]});
    camera.up = normalise({m[4], m[5], m[6]});
    camera.forward = normalise({m[8], m[9], m[10]});
    camera.eye = {view.position[0], view.position[1], view.position[2]};
    if (dot(camera.forward, camera.forward) == 0 || dot(camera.up, camera.up) == 0) {
        // A matrix left out: rebuild the frame from direction and up as the sender does.
        camera.forward = normalise(scale({view.direction[0], view.direction[1], view.direction[2]}, -1));
        camera.right = normalise(cross({view.up[0], view.up[1], view.up[2]}, camera.forward));
        camera.up = cross(camera.forward, camera.right);
    }
    camera.fovDegrees = view.fieldOfView;
    if (!finite(camera.eye) || dot(camera.forward, camera.forward) == 0 || dot(camera.right, camera.right) == 0 ||
        !(camera.fovDegrees > 1 && camera.fovDegrees < 179))
        return false;
    out = camera;
    return true;
}

Camera framingCamera(const Bounds& bounds) {
    Camera camera;
    camera.forward = normalise({-0.55f, -0.45f, 0.7f});
    camera.right = normalise(cross({0, 1, 0}, camera.forward));
    camera.up = cross(camera.forward, camera.right);
    const float radius = bounds.radius > 0 ? bounds.radius : 1;
    const float distance = 1.15f * radius / std::sin(camera.fovDegrees * float(M_PI) / 360);
    camera.eye = sub(bounds.centre, scale(camera.forward, distance));
    return camera;
}

// Column-major world-to-eye matrix. Eye space looks down -z, so forward maps to -z;
// the sender's frame is left-handed, which this mirror turns right-handed again.
std::array<float, 16> viewMatrix(const Camera& c) {
    const Vec3 back = scale(c.forward, -1);
    return {c.right[0], c.up[0], back[0], 0, c.right[1],           c.up[1],           back[1],           0,
            c.right[2], c.up[2], back[2], 0, -dot(c.right, c.eye), -dot(c.up, c.eye), -dot(back, c.eye), 1};
}

void setProjection(const Camera& camera, const Bounds& bounds, int width, int height) {
    const float distance = dot(sub(bounds.centre, camera.eye), camera.forward);
    const float radius = std::max(bounds.radius, 1e-3f);
    const float farPlane = std::max(distance + radius * 1.05f, 1e-2f);
    const float nearPlane = std::max(distance - radius * 1.05f, farPlane * 1e-4f);
    const float top = nearPlane * std::tan(camera.fovDegrees * float(M_PI) / 360);
    const float right = top * float(width) / float(height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-right, right, -top, top, nearPlane, farPlane);
}

void setLight() {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const GLfloat direction[4] = {-0.35f, 0.6f, 0.7f, 0};  // eye space: upper left, behind the viewer
    const GLfloat diffuse[4] = {0.75f, 0.75f, 0.75f, 1};
    const GLfloat ambient[4] = {0.3f, 0.3f, 0.3f, 1};
    const GLfloat none[4] = {0, 0, 0, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, direction);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_AMBIENT, none);
    glLightfv(GL_LIGHT0, GL_SPECULAR, none);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glEnable(GL_NORMALIZE);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
}

GLuint uploadTexture(const Image& image) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    // Rows go up top row first, so t = 0 is the image's top: the sender's v is
    // already flipped to that convention.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image.width, image.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    return name;
}

void drawMaterial(const MirrorMaterial& material) {
    const MeshData& mesh = material.mesh;
    if (mesh.indices.empty())
        return;
    const uint32_t diffuse = material.texture.empty() ? material.fields.diffuse : 0xFFFFFFu;
    const float opacity = std::clamp(material.fields.opacity, 0.0f, 1.0f);
    glColor4f(float((diffuse >> 16) & 0xFF) / 255, float((diffuse >> 8) & 0xFF) / 255, float(diffuse & 0xFF) / 255,
              opacity);
    GLuint texture = 0;
    if (!material.texture.empty()) {
        texture = uploadTexture(material.texture);
        glEnable(GL_TEXTURE_2D);
    }
    glVertexPointer(3, GL_FLOAT, 0, mesh.positions.data());
    glNormalPointer(GL_FLOAT, 0, mesh.normals.data());
    glTexCoordPointer(2, GL_FLOAT, 0, mesh.texCoords.data());
    // The range spares the driver a scan of millions of indices for their bounds.
    glDrawRangeElements(GL_TRIANGLES, 0, GLuint(mesh.vertexCount() - 1), GLsizei(mesh.indices.size()), GL_UNSIGNED_INT,
                        mesh.indices.data());
    if (texture) {
        glDisable(GL_TEXTURE_2D);
        glDeleteTextures(1, &texture);
    }
}

void drawModel(const PeerMirror& mirror) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    // Opaque materials first; see-through ones after, blended, without hiding what
    // lies behind them from each other.
    for (const auto& [id, material] : mirror.materials()) {
        if (material.fields.opacity >= 1)
            drawMaterial(material);
    }
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    for (const auto& [id, material] : mirror.materials()) {
        if (material.fields.opacity < 1)
            drawMaterial(material);
    }
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
}

}  // namespace

struct PictureRenderer::Context {
    OSMesaContext handle = nullptr;
    std::vector<uint8_t> pixels;
    ~Context() {
        if (!handle)
            return;
        // Unbound first, so that the context's framebuffer goes with it.
        OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
        OSMesaDestroyContext(handle);
    }
};

bool PictureRenderer::available() { return true; }

PictureRenderer::PictureRenderer() = default;
PictureRenderer::~PictureRenderer() = default;

bool PictureRenderer::render(const PeerMirror& mirror, int width, int height, Image& out, std::string& error) {
    out = Image{};
    if (width < 1 || height < 1 || width > 8192 || height > 8192) {
        error = "picture size out of range";
        return false;
    }
    if (!context_) {
        auto context = std::make_unique<Context>();
        context->handle = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
        if (!context->handle) {
            error = "no off-screen OpenGL context (OSMesa)";
            return false;
        }
        context_ = std::move(context);
    }
    context_->pixels.assign(size_t(width) * size_t(height) * 4, 0);
    if (!OSMesaMakeCurrent(context_->handle, context_->pixels.data(), GL_UNSIGNED_BYTE, width, height)) {
        error = "cannot bind the off-screen OpenGL context";
        return false;
    }
    glViewport(0, 0, width, height);
    glClearColor(0.16f, 0.17f, 0.2f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    // The sender reverses every triangle's winding to make up for exchanging two axes;
    // with that mirror undone in the view matrix its front faces wind clockwise.
    glFrontFace(GL_CW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);

    const Bounds bounds = modelBounds(mirror);
    Camera camera;
    if (!mirror.camera() || !cameraFromRecord(*mirror.camera(), camera))
        camera = framingCamera(bounds);
    setProjection(camera, bounds, width, height);
    setLight();
    const std::array<float, 16> view = viewMatrix(camera);
    glLoadMatrixf(view.data());
    drawModel(mirror);
    glFinish();

    out.width = width;
    out.height = height;
    out.rgba.resize(context_->pixels.size());
    // GL's rows run bottom up.
    const size_t row = size_t(width) * 4;
    for (int y = 0; y < height; ++y)
        std::memcpy(out.rgba.data() + size_t(y) * row, context_->pixels.data() + size_t(height - 1 - y) * row, row);
    // The colours are already blended over the background; the alpha GL leaves behind
    // is the blending's, and a viewer would show the picture washed out over its page.
    for (size_t i = 3; i < out.rgba.size(); i += 4)
        out.rgba[i] = 255;
    return true;
}

}  // namespace vantro::peer
