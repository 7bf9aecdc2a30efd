// The system calls of the report file writer, each made through the tests' seam, and an open
// file that is closed exactly once.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <utility>

namespace velmor {

// What the tests set through SetFileCallFailure; empty in the program.
struct FileCallSeam {
    std::function<int(const char*)> failure;
    std::function<void(const char*)> made;
};

FileCallSeam& TheFileCallSeam();

// Makes one system call that answers -1 with errno on failure, unless the test seam fails it
// (before the call, or after it when the seam's answer is negative).
template <typename Call>
auto FileCall(const char* name, Call call) -> decltype(call()) {
    const FileCallSeam& seam = TheFileCallSeam();
    if (seam.failure)
        if (const int error = seam.failure(name)) {
            if (error < 0) {
                call();
                if (seam.made) seam.made(name);
            }
            errno = std::abs(error);
            return -1;
        }
    return call();
}

// An open file, closed exactly once: by Close(), or when it goes out of scope.
class OpenFile {
  public:
    explicit OpenFile(int fd) : fd_(fd) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    int Fd() const { return fd_; }
    // A file system that reports its failure only when the file is closed counts too. The
    // descriptor is gone even then: closing its number again could close a file another thread
    // has just opened.
    bool Close() {
        const int fd = std::exchange(fd_, -1);
        return FileCall("close", [fd] { return ::close(fd); }) == 0;
    }

  private:
    int fd_;
};

}  // namespace velmor
