#pragma once
// BesideTask: one piece of work on a thread of its own while the caller does another,
// for the export's geometry stream: the next batch is formatted while the main thread
// writes the current one (the file is the main thread's, and the platform's parallel
// loops leave open which thread runs which item).
//
// The work may start parallel loops of its own. wait joins the thread and throws again
// what the work threw. The destructor joins too, so that the work never outlives what
// it refers to, also when the caller leaves by an exception (what the work threw is
// then dropped: the caller's own exception goes on).
// Thread-safety: one owner; construct, wait and destroy on the same thread.

#include <exception>
#include <functional>
#include <thread>

namespace vantro::collada {

class BesideTask {
public:
    explicit BesideTask(std::function<void()> work);
    ~BesideTask();
    BesideTask(const BesideTask&) = delete;
    BesideTask& operator=(const BesideTask&) = delete;

    // Returns when the work has finished; throws what it threw.
    void wait();

private:
    std::exception_ptr failure_;  // written by the thread, read after the join
    std::thread thread_;          // last: started once the failure slot exists; joined by wait or the destructor
};

}  // namespace vantro::collada
