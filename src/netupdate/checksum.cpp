#include "netupdate/checksum.h"

#include "platform/files.h"

#include <array>
#include <cerrno>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zeph::nu {

namespace {

constexpr size_t kBlock = 4096;

constexpr std::array<uint32_t, 256> makeTable()
{
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[i] = c;
    }
    return t;
}
constexpr std::array<uint32_t, 256> kTable = makeTable();

// Feeds the file to step as 4096-byte blocks, going on while a read delivers a whole block.
// Only regular files are read, where a read comes back short at the end alone, so one large
// read stands for many whole blocks and saves the system calls.
template <typename Step>
void readBlocks(const std::string& path, Step step)
{
    // Non-blocking open and regular files only: a FIFO or a device (/dev/zero) would hang the run.
    int fd = ::open(fs::toNative(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return;
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    constexpr size_t kChunk = 64 * kBlock;
    std::unique_ptr<unsigned char[]> buf(new unsigned char[kChunk]);
    for (;;) {
        ssize_t n;
        do n = ::read(fd, buf.get(), kChunk);
        while (n < 0 && errno == EINTR);
        if (n <= 0) break;
        step(buf.get(), size_t(n));
        if (size_t(n) % kBlock != 0) break;
    }
    ::close(fd);
}

}  // namespace

uint32_t Crc32Update(uint32_t c, const unsigned char* data, size_t n)
{
    for (size_t i = 0; i < n; ++i) c = c + (kTable[(c ^ data[i]) & 0xFF] ^ (c >> 8));
    return c;
}

uint32_t ByteSumUpdate(uint32_t s, const unsigned char* data, size_t n)
{
    for (size_t i = 0; i < n; ++i) s += data[i];
    return s;
}

int32_t FileCRC32(const std::string& path)
{
    uint32_t c = 0xFFFFFFFFu;
    readBlocks(path, [&](const unsigned char* d, size_t n) { c = Crc32Update(c, d, n); });
    return int32_t(~c);
}

int32_t ByteSumChecksum(const std::string& path)
{
    uint32_t s = 0xFFFFFFFFu;
    readBlocks(path, [&](const unsigned char* d, size_t n) { s = ByteSumUpdate(s, d, n); });
    return int32_t(s);
}

std::string Base64Encode(const std::string& bytes)
{
    static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t v = uint32_t(uint8_t(bytes[i])) << 16;
        if (i + 1 < bytes.size()) v |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size()) v |= uint8_t(bytes[i + 2]);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? alphabet[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? alphabet[v & 63] : '=';
    }
    return out;
}

}  // namespace zeph::nu
