#include "beside_task.h"

#include <utility>

namespace vantro::collada {

BesideTask::BesideTask(std::function<void()> work)
    : thread_([this, work = std::move(work)] {
          try {
              work();
          } catch (...) {
              failure_ = std::current_exception();
          }
      }) {}

BesideTask::~BesideTask() {
    if (thread_.joinable())
        thread_.join();
}

void BesideTask::wait() {
    if (thread_.joinable())
        thread_.join();
    if (failure_)
        std::rethrow_exception(std::exchange(failure_, nullptr));
}

}  // namespace vantro::collada
