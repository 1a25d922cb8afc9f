#include "send_camera.h"

#include <cmath>
#include <numbers>

#include "link/live_connection.h"
#include "plugin/velora_plugin.h"
#include "sdk/geometry/on_viewport.h"
#include "ui/plugin_ui.h"

using namespace vantro::plugin;

using VantroAPI::ViewData;

namespace {

// Half vertical angle in radians used when the viewport cannot give one.
constexpr double kFallbackHalfAngle = 0.5;

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(float s, Vec3 a) { return {s * a.x, s * a.y, s * a.z}; }

Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

Vec3 normalise(Vec3 a) {
    const float length = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    if (!(length > 0.0f))
        return {};
    return (1.0f / length) * a;
}

// The document's (x, y, z) in the renderer's axes, as f32.
Vec3 rendererAxes(double x, double y, double z) {
    return {static_cast<float>(x), static_cast<float>(z), static_cast<float>(y)};
}

void put(float* out, Vec3 v) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
}

void putRow(ViewData& data, int row, Vec3 v, float w) {
    put(data.viewMatrix + 4 * row, v);
    data.viewMatrix[4 * row + 3] = w;
}

void withdraw(VeloraPlugin& plugin, const ViewData* data) {
    if (!plugin.cameraPending)
        return;
    plugin.connection()->SetView(false, data);
    plugin.cameraPending = 0;
    if (plugin.ui())
        plugin.ui()->RefreshUi();
}

}  // namespace

ViewData vantro::plugin::MakeViewData(const ON_Viewport& viewport, float unitScale) {
    ViewData data{};
    const ON_3dPoint location = viewport.CameraLocation();
    const ON_3dPoint target = viewport.TargetPoint();
    const ON_3dVector upVector = viewport.CameraUp();
    double halfVertical = kFallbackHalfAngle;
    if (!viewport.GetCameraAngle(nullptr, &halfVertical, nullptr))
        halfVertical = kFallbackHalfAngle;

    const Vec3 eye = rendererAxes(location.x, location.y, location.z);
    const Vec3 at = rendererAxes(target.x, target.y, target.z);
    const Vec3 up = normalise(rendererAxes(upVector.x, upVector.y, upVector.z));
    const Vec3 forward = normalise(at - eye);
    const Vec3 right = normalise(cross(up, forward));
    const Vec3 trueUp = cross(forward, right);
    const Vec3 position = unitScale * eye;
    putRow(data, 0, right, 0.0f);
    putRow(data, 1, trueUp, 0.0f);
    putRow(data, 2, forward, 0.0f);
    putRow(data, 3, position, 1.0f);
    put(data.position, position);
    put(data.direction, normalise(eye - at));
    put(data.up, up);
    data.fieldOfView = static_cast<float>(halfVertical * 2.0 * 180.0 / std::numbers::pi);
    data.cameraKind = VantroAPI::kCameraPerspective;
    return data;
}

void SendCamera(VeloraPlugin& plugin, const ON_Viewport& viewport) {
    if (!plugin.connection() || !plugin.connection()->IsOpen())
        return;
    if (plugin.linkState != VeloraPlugin::kLinkRunning || !plugin.cameraSync) {
        withdraw(plugin, nullptr);  // the last camera stays in the record
        return;
    }
    if (!viewport.IsPerspectiveProjection()) {
        const ViewData none{};
        withdraw(plugin, &none);
        return;
    }
    if (!plugin.cameraPending && plugin.ui())
        plugin.ui()->RefreshUi();
    plugin.cameraPending = 1;
    const ViewData data = MakeViewData(viewport, plugin.unitScale);
    plugin.connection()->SetView(true, &data);
}
