// The one owner of an open file descriptor: closed on every way out unless
// released.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace sizewalk {

class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { Reset(); }
    Descriptor(Descriptor&& other) noexcept : fd_(other.Release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Gives the descriptor up without closing it.
    int Release() { return std::exchange(fd_, -1); }
    // Closes the one held (its error is lost: use Close() where it counts).
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }
    // Closes it and says whether the close succeeded (EINTR counts: the
    // descriptor is gone either way on Linux).
    bool Close() {
        const int fd = Release();
        return fd < 0 || ::close(fd) == 0 || errno == EINTR;
    }

  private:
    int fd_ = -1;
};

}  // namespace sizewalk
