#include "dbupdate/stream.h"

#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zeph::dbu {

size_t MemoryStream::read(void* buf, size_t n)
{
    if (pos_ < 0 || pos_ >= size()) return 0;
    size_t take = std::min(n, size_t(size() - pos_));
    std::memcpy(buf, data_.data() + pos_, take);
    pos_ += int64_t(take);
    return take;
}

void MemoryStream::write(const void* buf, size_t n)
{
    if (pos_ < 0) pos_ = 0;
    if (size_t(pos_) > data_.size()) data_.resize(size_t(pos_));
    size_t overlap = std::min(n, data_.size() - size_t(pos_));
    data_.replace(size_t(pos_), overlap, static_cast<const char*>(buf), n);
    pos_ += int64_t(n);
}

FileStream::FileStream(const std::string& path, Mode mode) : path_(fs::toNative(path))
{
    if (mode == Mode::Read) {
        fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st;
        if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode))) {
            ::close(fd_);
            fd_ = -1;
        }
        if (fd_ < 0) throw PackageError("Nelze otevřít soubor " + path + ".");
    } else {
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd_ < 0) throw PackageError("Nelze vytvořit soubor " + path + ".");
    }
}

FileStream::~FileStream()
{
    if (fd_ >= 0) ::close(fd_);
}

size_t FileStream::read(void* buf, size_t n)
{
    if (pos_ < 0) return 0;
    size_t done = 0;
    while (done < n) {
        ssize_t r = ::pread(fd_, static_cast<char*>(buf) + done, n - done, pos_);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) throw PackageError("Chyba čtení souboru " + path_ + ".");
        if (r == 0) break;
        done += size_t(r);
        pos_ += r;
    }
    return done;
}

void FileStream::write(const void* buf, size_t n)
{
    if (pos_ < 0) pos_ = 0;
    size_t done = 0;
    while (done < n) {
        ssize_t w = ::pwrite(fd_, static_cast<const char*>(buf) + done, n - done, pos_);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) throw PackageError("Chyba zápisu do souboru " + path_ + ".");
        done += size_t(w);
        pos_ += w;
    }
}

void FileStream::seek(int64_t pos) { pos_ = pos; }

int64_t FileStream::size() const
{
    struct stat st;
    if (::fstat(fd_, &st) != 0) return 0;
    return int64_t(st.st_size);
}

}  // namespace zeph::dbu
