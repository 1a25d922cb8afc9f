#include "scene/render_mesh_request.h"

namespace vantro::scene {

namespace {
thread_local int depth = 0;
}

RenderMeshRequest::RenderMeshRequest() { ++depth; }

RenderMeshRequest::~RenderMeshRequest() { --depth; }

bool RenderMeshRequest::Active() { return depth > 0; }

}  // namespace vantro::scene
