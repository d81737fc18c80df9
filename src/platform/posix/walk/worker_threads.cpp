#include "platform/posix/walk/worker_threads.h"

#include <pthread.h>

#include <csignal>
#include <exception>

namespace sizewalk::posix::walk {

WorkerThreads::~WorkerThreads() {
    std::vector<bool> ended;
    {
        std::unique_lock lock(ends_->mu);
        ends_->cv.wait_for(lock, kStuckWorkerWait, [&] { return ends_->count == threads_.size(); });
        ended = ends_->ended;
    }
    for (std::size_t i = 0; i < threads_.size(); ++i) {
        if (ended[i]) {
            threads_[i].join();
        } else {
            threads_[i].detach();
        }
    }
}

void WorkerThreads::Add(std::size_t count, const std::function<void(std::size_t)>& body) {
    const std::size_t first = threads_.size();
    {
        std::lock_guard lock(ends_->mu);
        ends_->ended.resize(first + count, false);
    }
    // The signals that stop a run go to the thread that waits for the
    // tracking file, so that its wait ends; the workers only poll.
    sigset_t stop_signals;
    sigset_t old_mask;
    sigemptyset(&stop_signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&stop_signals, signal);
    }
    pthread_sigmask(SIG_BLOCK, &stop_signals, &old_mask);
    for (std::size_t i = first; i < first + count; ++i) {
        try {
            threads_.emplace_back([body, ends = ends_, i] {
                body(i);
                {
                    std::lock_guard lock(ends->mu);
                    ends->ended[i] = true;
                    ++ends->count;
                }
                ends->cv.notify_all();
            });
        } catch (const std::exception&) {
            break;  // fewer threads
        }
    }
    pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
}

}  // namespace sizewalk::posix::walk
