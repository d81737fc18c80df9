#include "platform/posix/walk/worker_threads.h"

#include <pthread.h>

#include <csignal>
#include <system_error>

namespace sizewalk::walk {

WorkerThreads::~WorkerThreads() {
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

void WorkerThreads::Start(std::size_t count, const std::function<void(std::size_t)>& body) {
    // The signals that stop a run go to the thread that waits for the
    // tracking file, so that its wait ends; the workers only poll.
    sigset_t stop_signals;
    sigset_t old_mask;
    sigemptyset(&stop_signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&stop_signals, signal);
    }
    pthread_sigmask(SIG_BLOCK, &stop_signals, &old_mask);
    for (std::size_t i = 0; i < count; ++i) {
        try {
            threads_.emplace_back([body, i] { body(i); });
        } catch (const std::system_error&) {
            break;  // fewer threads
        }
    }
    pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
}

}  // namespace sizewalk::walk
