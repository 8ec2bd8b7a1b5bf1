#pragma once

// A plain POSIX client of a terminal device, independent of the program's own
// port code, so the simulator can be tested on its own.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace testing_support {

class RawTerminal {
  public:
    explicit RawTerminal(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ >= 0) {
            termios t{};
            ::tcgetattr(fd_, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~RawTerminal() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;

    bool Ok() const { return fd_ >= 0; }
    bool Write(const std::vector<std::uint8_t>& bytes) {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    struct Arrival {
        std::vector<std::uint8_t> bytes;
        std::vector<double> ms;  // arrival time of each byte since the call
    };
    // Reads until n bytes came or timeoutMs passed, noting when each arrived.
    Arrival Read(std::size_t n, int timeoutMs) {
        Arrival a;
        const auto start = std::chrono::steady_clock::now();
        const auto elapsed = [&] {
            return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                             start)
                .count();
        };
        while (a.bytes.size() < n && elapsed() < timeoutMs) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 5) > 0) {
                std::uint8_t buf[256];
                const ssize_t r = ::read(fd_, buf, sizeof buf);
                const double t = elapsed();
                for (ssize_t i = 0; i < r; ++i) {
                    a.bytes.push_back(buf[i]);
                    a.ms.push_back(t);
                }
            }
        }
        return a;
    }

  private:
    int fd_ = -1;
};

}  // namespace testing_support
