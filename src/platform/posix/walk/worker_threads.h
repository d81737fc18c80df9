// The worker threads of one listing: started with the stop signals blocked,
// joined when the listing goes.
#pragma once

#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

namespace sizewalk::walk {

class WorkerThreads {
  public:
    WorkerThreads() = default;
    // Joins them all.
    ~WorkerThreads();
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    // Starts up to `count` threads, thread i running body(i); fewer when the
    // system has no more to give.
    void Start(std::size_t count, const std::function<void(std::size_t)>& body);
    std::size_t size() const { return threads_.size(); }

  private:
    std::vector<std::thread> threads_;
};

}  // namespace sizewalk::walk
