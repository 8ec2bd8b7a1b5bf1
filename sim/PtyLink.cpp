#include "sim/PtyLink.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>

namespace lwlsim {

std::unique_ptr<PtyLink> PtyLink::Create(const std::string& linkPath, std::string& error) {
    std::unique_ptr<PtyLink> link(new PtyLink());
    link->master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (link->master_ < 0 || ::grantpt(link->master_) != 0 || ::unlockpt(link->master_) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return nullptr;
    }
    const char* name = ::ptsname(link->master_);
    if (!name) {
        error = "cannot name the pseudo-terminal";
        return nullptr;
    }
    link->slaveName_ = name;
    link->slaveHold_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (link->slaveHold_ < 0) {
        error = std::string("cannot open ") + name + ": " + std::strerror(errno);
        return nullptr;
    }
    termios tio{};
    if (::tcgetattr(link->slaveHold_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        ::tcsetattr(link->slaveHold_, TCSANOW, &tio);
    }
    struct stat st {};
    if (::lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = linkPath + " exists and is not a symlink; not replacing it";
            return nullptr;
        }
        ::unlink(linkPath.c_str());  // a stale link of an earlier run
    }
    if (::symlink(name, linkPath.c_str()) != 0) {
        error = "cannot create " + linkPath + ": " + std::strerror(errno);
        return nullptr;
    }
    link->linkPath_ = linkPath;
    return link;
}

PtyLink::~PtyLink() {
    Hangup();
}

void PtyLink::Hangup() {
    if (!linkPath_.empty()) {
        // Only remove the link if it still points at this terminal.
        char target[4096];
        const ssize_t n = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == slaveName_) {
            ::unlink(linkPath_.c_str());
        }
        linkPath_.clear();
    }
    if (slaveHold_ >= 0) {
        ::close(slaveHold_);
        slaveHold_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

namespace {

using Clock = std::chrono::steady_clock;

struct Pending {
    std::uint8_t byte;
    Clock::time_point due;
    const std::string* logAfter;  // set on the last byte of a logged chunk
};

class Logger {
  public:
    Logger(std::FILE* f, Clock::time_point start) : f_(f), start_(start) {}
    void Line(const char* dir, const std::string& hex) {
        if (!f_) {
            return;
        }
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
        std::fprintf(f_, "%lld %s %s\n", static_cast<long long>(ms), dir, hex.c_str());
        std::fflush(f_);
    }

  private:
    std::FILE* f_;
    Clock::time_point start_;
};

}  // namespace

RunEnd Run(PtyLink& link, Simulator& sim, const RunOptions& options,
           volatile std::sig_atomic_t* stop) {
    const auto byteTime = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::micro>(kByteMicros));
    Logger log(options.log, Clock::now());
    std::deque<Pending> queue;
    std::deque<std::string> logTexts;  // owns the texts that queue entries point at
    Clock::time_point lineFree = Clock::now();
    std::uint8_t buf[512];
    const int txLimit = sim.System().hangupAfterTx;
    int sent = 0;                      // answer frames written, counted only up to txLimit
    Clock::time_point stalledUntil{};  // the line takes no bytes until then

    while (!*stop) {
        const auto now = Clock::now();
        // Write every byte that is due, but nothing after the frame that ends the line.
        std::uint8_t out[512];
        std::size_t n = 0;
        for (int frames = sent; n < sizeof out && n < queue.size() && queue[n].due <= now;) {
            out[n] = queue[n].byte;
            const bool frameEnd = queue[n].logAfter != nullptr;
            ++n;
            if (txLimit > 0 && frameEnd && ++frames >= txLimit) {
                break;
            }
        }
        if (n > 0) {
            const ssize_t w = ::write(link.MasterFd(), out, n);
            for (ssize_t i = 0; i < w; ++i) {
                if (queue.front().logAfter) {
                    log.Line("tx", *queue.front().logAfter);
                    logTexts.pop_front();
                    if (txLimit > 0 && ++sent >= txLimit) {
                        return RunEnd::HungUp;
                    }
                }
                queue.pop_front();
            }
        }
        // Sleep until input arrives, the next byte is due, or 20 ms pass (to see a stop).
        int timeoutMs = 20;
        if (!queue.empty()) {
            const auto wait = std::chrono::duration_cast<std::chrono::microseconds>(
                queue.front().due - Clock::now());
            timeoutMs = wait.count() <= 0 ? 0 : static_cast<int>((wait.count() + 999) / 1000);
            timeoutMs = timeoutMs > 20 ? 20 : timeoutMs;
            if (n > 0 && timeoutMs == 0) {
                timeoutMs = 1;  // the terminal buffer is full; let the reader catch up
            }
        }
        const bool stalled = Clock::now() < stalledUntil;
        pollfd pfd{link.MasterFd(), static_cast<short>(stalled ? 0 : POLLIN), 0};
        const int rc = ::poll(&pfd, 1, timeoutMs);
        if (rc < 0 && errno != EINTR) {
            return RunEnd::Failed;
        }
        if (rc > 0 && (pfd.revents & POLLIN)) {
            const ssize_t r = ::read(link.MasterFd(), buf, sizeof buf);
            if (r > 0) {
                const auto result = sim.Feed(buf, static_cast<std::size_t>(r));
                for (const auto& c : result.received) {
                    log.Line("rx", Hex(c.raw.data(), c.raw.size()));
                }
                if (result.hangup) {
                    return RunEnd::HungUp;
                }
                if (result.stall) {
                    stalledUntil = Clock::now() + std::chrono::milliseconds(sim.System().stallMs);
                }
                const auto t = Clock::now();
                lineFree = t > lineFree ? t : lineFree;
                for (const auto& chunk : result.chunks) {
                    Clock::time_point start =
                        lineFree + std::chrono::milliseconds(chunk.pauseBeforeMs);
                    for (std::size_t i = 0; i < chunk.bytes.size(); ++i) {
                        const bool last = i + 1 == chunk.bytes.size();
                        const std::string* text = nullptr;
                        if (last && !chunk.logHex.empty()) {
                            logTexts.push_back(chunk.logHex);
                            text = &logTexts.back();
                        }
                        const auto due =
                            options.pacing ? start + byteTime * static_cast<int>(i) : start;
                        queue.push_back(Pending{chunk.bytes[i], due, text});
                    }
                    lineFree = options.pacing
                                   ? start + byteTime * static_cast<int>(chunk.bytes.size())
                                   : start;
                }
            }
        } else if (rc > 0 && (pfd.revents & POLLHUP)) {
            // Nobody but our own holder has the slave open; nothing to read.
            struct timespec ts {
                0, 1'000'000
            };
            ::nanosleep(&ts, nullptr);
        }
    }
    return RunEnd::Stopped;
}

}  // namespace lwlsim
