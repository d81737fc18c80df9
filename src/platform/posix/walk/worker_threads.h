// The worker threads of one listing: started with the stop signals blocked,
// joined when the listing goes, except those held in the kernel.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace sizewalk::posix::walk {

// How long a listing that goes waits for its workers to end. A worker that
// can end does so within milliseconds; one held in the kernel by a read on a
// dead network or FUSE mount may never, and is left to end on its own (or
// with the process).
inline constexpr auto kStuckWorkerWait = std::chrono::seconds(1);

class WorkerThreads {
  public:
    WorkerThreads() = default;
    // Waits up to kStuckWorkerWait for the threads to end, joins those that
    // did and detaches the others: whatever they use must then be theirs too
    // (held by `body`).
    ~WorkerThreads();
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    // Starts up to `count` more threads, the i-th of all running body(i);
    // fewer when the system has no more to give. Called from one thread.
    void Add(std::size_t count, const std::function<void(std::size_t)>& body);
    std::size_t size() const { return threads_.size(); }

  private:
    struct Ends {
        std::mutex mu;
        std::condition_variable cv;
        std::vector<bool> ended;  // by thread
        std::size_t count = 0;
    };
    std::shared_ptr<Ends> ends_ = std::make_shared<Ends>();
    std::vector<std::thread> threads_;
};

}  // namespace sizewalk::posix::walk
