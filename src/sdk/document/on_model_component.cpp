#include "sdk/document/on_model_component.h"

#include <atomic>

namespace {
// Components are constructed on any thread (copies in parallel loops), so the
// counter is atomic; 0 is never handed out.
std::atomic<uint64_t> nextSerial{1};
}  // namespace

ON_ModelComponent::ON_ModelComponent() : serial_(nextSerial.fetch_add(1)) {}

ON_ModelComponent::ON_ModelComponent(const ON_ModelComponent& other)
    : serial_(nextSerial.fetch_add(1)),
      id_(other.id_),
      index_(other.index_),
      name_(other.name_),
      deleted_(other.deleted_) {}

ON_ModelComponent& ON_ModelComponent::operator=(const ON_ModelComponent& other) {
    // The serial number is the identity of this object and stays.
    id_ = other.id_;
    index_ = other.index_;
    name_ = other.name_;
    deleted_ = other.deleted_;
    return *this;
}
