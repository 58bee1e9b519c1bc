// A FIFO for tests of code that must turn it away without opening it for
// good: should the code wait on it after all, a writer comes after ten
// seconds and ends the wait, so that the test fails instead of hanging.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

struct FifoGuard {
    std::string path;
    std::atomic<bool> done{false};
    std::atomic<bool> released{false};  // a reader waited on the FIFO and was let go
    std::thread writer;

    explicit FifoGuard(const std::string& fifoPath) : path(fifoPath)
    {
        if (mkfifo(path.c_str(), 0600) != 0) return;
        writer = std::thread([this] {
            for (int i = 0; !done; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
                // Opening for writing without blocking succeeds only while a reader waits.
                const int fd = i < 1000 ? -1 : open(path.c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) released = true, close(fd);
            }
        });
    }
    ~FifoGuard()
    {
        done = true;
        if (writer.joinable()) writer.join();
        unlink(path.c_str());
    }
};
