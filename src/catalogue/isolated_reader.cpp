// The descriptor reads run in a reader process of their own, so that a corrupt or hostile file
// can crash, hang or exhaust only that process. The reader stays for the next read (a fork per
// file would cost more than the read itself); it is replaced after any failed read, after a
// crash or time-out, and after a number of reads.
#include "catalogue/properties_row.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zeph::cat {

namespace {

// A good descriptor reads in well under a millisecond; these bounds only stop a hostile file.
constexpr int kReadTimeoutMs = 5000;
constexpr rlim_t kReaderCpuSeconds = 30;  // over the reader's life
constexpr rlim_t kReaderMemoryBytes = rlim_t(512) << 20;
constexpr uint32_t kMaxMessage = 1 << 20;
constexpr int kReadsPerReader = 200;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

bool sendAll(int fd, const std::string& data)
{
    for (size_t done = 0; done < data.size();) {
        ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

std::string frame(const std::string& body)
{
    auto n = uint32_t(body.size());
    return std::string(reinterpret_cast<const char*>(&n), 4) + body;
}

// Reads one framed message; without a deadline (the reader's side) waits as long as it takes.
enum class Got { Message, Closed, TimedOut, Garbage };
Got receive(int fd, std::string& body, std::chrono::steady_clock::time_point* deadline)
{
    std::string buf;
    for (;;) {
        if (buf.size() >= 4) {
            uint32_t n;
            std::memcpy(&n, buf.data(), 4);
            if (n > kMaxMessage) return Got::Garbage;
            if (buf.size() == 4 + size_t(n)) {
                body = buf.substr(4);
                return Got::Message;
            }
        }
        int wait = -1;
        if (deadline) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return Got::TimedOut;
            wait = int(left.count());
        }
        pollfd p{fd, POLLIN, 0};
        int r = poll(&p, 1, wait);
        if (r < 0 && errno == EINTR) continue;
        if (r == 0) continue;
        // Never read past the message: the next one belongs to the next read.
        size_t want = buf.size() < 4 ? 4 - buf.size() : 0;
        if (!want) {
            uint32_t n;
            std::memcpy(&n, buf.data(), 4);
            want = 4 + size_t(n) - buf.size();
        }
        char chunk[8192];
        ssize_t got = read(fd, chunk, std::min(want, sizeof chunk));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return buf.empty() ? Got::Closed : Got::Garbage;
        buf.append(chunk, size_t(got));
    }
}

[[noreturn]] void readerMain(int fd)
{
    // Only the socket stays open: the reader keeps none of the caller's files, locks or
    // connections, and the Jet library's own messages go nowhere.
    if (fd != 3) {
        dup2(fd, 3);
        fd = 3;
    }
    int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
        dup2(devnull, 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
    }
    close_range(4, ~0u, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (!kSanitized) {
        rlimit mem{kReaderMemoryBytes, kReaderMemoryBytes};
        setrlimit(RLIMIT_AS, &mem);
    }
    rlimit cpu{kReaderCpuSeconds, kReaderCpuSeconds + 1};
    setrlimit(RLIMIT_CPU, &cpu);
    rlimit noWrites{0, 0};  // a read never writes a file
    setrlimit(RLIMIT_FSIZE, &noWrites);
    std::string path;
    while (receive(fd, path, nullptr) == Got::Message)
        if (!sendAll(fd, frame(EncodeReply(ReadPropertiesRow(path))))) break;
    _exit(0);
}

class Reader {
public:
    ~Reader() { stop(); }

    // nullopt: the reader crashed, hung or answered garbage (it is gone then).
    std::optional<PropertiesRow> read(const std::string& path, bool& crashed)
    {
        crashed = false;
        if (pid_ <= 0 && !start()) return std::nullopt;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
        std::string reply;
        Got got = sendAll(fd_, frame(path)) ? receive(fd_, reply, &deadline) : Got::Closed;
        std::optional<PropertiesRow> row;
        if (got == Got::Message) row = DecodeReply(reply);
        crashed = got == Got::Closed;
        if (!row || row->stage != PropertiesRow::Row || ++reads_ >= kReadsPerReader) stop();
        return row;
    }

private:
    bool start()
    {
        int sv[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) return false;
        pid_t pid = fork();
        if (pid < 0) {
            close(sv[0]);
            close(sv[1]);
            return false;
        }
        if (pid == 0) {
            close(sv[0]);
            readerMain(sv[1]);
        }
        close(sv[1]);
        fd_ = sv[0];
        pid_ = pid;
        reads_ = 0;
        return true;
    }

    void stop()
    {
        if (pid_ <= 0) return;
        close(fd_);
        kill(pid_, SIGKILL);
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        fd_ = -1;
    }

    pid_t pid_ = -1;
    int fd_ = -1;
    int reads_ = 0;
};

}  // namespace

std::optional<PropertiesRow> ReadIsolated(const std::string& path)
{
    static std::mutex mutex;
    static Reader reader;
    std::lock_guard lock(mutex);
    bool crashed = false;
    auto row = reader.read(path, crashed);
    // A reader that died may have been spoilt by an earlier file: the read gets one fresh try.
    if (!row && crashed) row = reader.read(path, crashed);
    return row;
}

}  // namespace zeph::cat
