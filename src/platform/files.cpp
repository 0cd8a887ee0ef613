#include "platform/files.h"

#include "platform/textcodec.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mntent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utime.h>

namespace zeph::fs {

namespace stdfs = std::filesystem;

std::string toNative(const std::string& path)
{
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

std::string withTrailingSlash(const std::string& path)
{
    std::string p = toNative(path);
    if (!p.empty() && p.back() != '/') p += '/';
    return p;
}

std::string withoutTrailingSlash(const std::string& path)
{
    std::string p = toNative(path);
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

std::string fileName(const std::string& path)
{
    std::string p = toNative(path);
    size_t s = p.find_last_of('/');
    return s == std::string::npos ? p : p.substr(s + 1);
}

std::string folderOf(const std::string& path)
{
    std::string p = toNative(path);
    size_t s = p.find_last_of('/');
    return s == std::string::npos ? std::string() : p.substr(0, s + 1);
}

std::string extension(const std::string& path)
{
    std::string n = fileName(path);
    size_t d = n.find_last_of('.');
    return d == std::string::npos ? std::string() : n.substr(d);
}

std::string join(const std::string& folder, const std::string& name)
{
    if (folder.empty()) return toNative(name);
    return withTrailingSlash(folder) + toNative(name);
}

bool exists(const std::string& path)
{
    struct stat st;
    return ::stat(toNative(path).c_str(), &st) == 0;
}

bool isDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(toNative(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const std::string& path)
{
    struct stat st;
    return ::stat(toNative(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<uint64_t> fileSize(const std::string& path)
{
    struct stat st;
    if (::stat(toNative(path).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return std::nullopt;
    return uint64_t(st.st_size);
}

std::optional<std::time_t> modificationTime(const std::string& path)
{
    struct stat st;
    if (::stat(toNative(path).c_str(), &st) != 0) return std::nullopt;
    return st.st_mtime;
}

bool setModificationTime(const std::string& path, std::time_t when)
{
    struct utimbuf t{when, when};
    return ::utime(toNative(path).c_str(), &t) == 0;
}

bool isReadOnly(const std::string& path)
{
    struct stat st;
    if (::stat(toNative(path).c_str(), &st) != 0) return false;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool setReadOnly(const std::string& path, bool readOnly)
{
    struct stat st;
    std::string p = toNative(path);
    if (::stat(p.c_str(), &st) != 0) return false;
    mode_t m = st.st_mode & 07777;
    m = readOnly ? (m & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)) : (m | S_IWUSR);
    return ::chmod(p.c_str(), m) == 0;
}

namespace {
bool matchFrom(const std::string& n, size_t i, const std::string& m, size_t j)
{
    while (j < m.size()) {
        if (m[j] == '*') {
            while (j < m.size() && m[j] == '*') ++j;
            if (j == m.size()) return true;
            for (size_t k = i; k <= n.size(); ++k)
                if (matchFrom(n, k, m, j)) return true;
            return false;
        }
        if (i >= n.size()) return false;
        if (m[j] != '?' && m[j] != n[i]) return false;
        ++i;
        ++j;
    }
    return i == n.size();
}
}  // namespace

bool matchMask(const std::string& name, const std::string& mask, bool caseSensitive)
{
    if (mask == "*" || mask == "*.*") return true;
    // "*.ext" also matches a name without a dot when ext is "*"; otherwise plain wildcards.
    if (caseSensitive) return matchFrom(name, 0, mask, 0);
    return matchFrom(text::toUpper(name), 0, text::toUpper(mask), 0);
}

std::vector<DirEntry> list(const std::string& folder, const std::string& mask, bool caseSensitive)
{
    std::vector<DirEntry> out;
    DIR* d = ::opendir(toNative(folder.empty() ? "." : folder).c_str());
    if (!d) return out;
    std::string base = withTrailingSlash(folder.empty() ? "." : folder);
    while (dirent* e = ::readdir(d)) {
        std::string n = e->d_name;
        if (n == "." || n == "..") continue;
        if (!matchMask(n, mask, caseSensitive)) continue;
        out.push_back({n, isDirectory(base + n)});
    }
    ::closedir(d);
    std::sort(out.begin(), out.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return out;
}

bool createDirectories(const std::string& path)
{
    std::error_code ec;
    std::string p = toNative(path);
    if (p.empty()) return false;
    stdfs::create_directories(p, ec);
    return isDirectory(p);
}

bool copyFile(const std::string& from, const std::string& to, bool failIfExists)
{
    std::string src = toNative(from), dst = toNative(to);
    if (failIfExists && exists(dst)) return false;
    int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st;
    if (::fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(in);
        return false;
    }
    std::string tmp = makeTempFile(folderOf(dst).empty() ? "." : folderOf(dst), "." + fileName(dst) + ".");
    if (tmp.empty()) {
        ::close(in);
        return false;
    }
    int out = ::open(tmp.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    bool ok = out >= 0;
    std::vector<char> buf(1 << 20);
    while (ok) {
        ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out, buf.data() + done, n - done);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                ok = false;
                break;
            }
            done += w;
        }
    }
    ::close(in);
    if (out >= 0) {
        ok = ok && ::fsync(out) == 0;
        ok = (::close(out) == 0) && ok;
    }
    if (ok) {
        ::chmod(tmp.c_str(), st.st_mode & 07777);
        struct utimbuf t{st.st_atime, st.st_mtime};
        ::utime(tmp.c_str(), &t);
        if (failIfExists) {
            // link() fails when the target appeared meanwhile: no overwrite race.
            ok = ::link(tmp.c_str(), dst.c_str()) == 0;
            ::unlink(tmp.c_str());
        } else {
            ok = ::rename(tmp.c_str(), dst.c_str()) == 0;
        }
    }
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

bool moveFile(const std::string& from, const std::string& to, bool replace)
{
    std::string src = toNative(from), dst = toNative(to);
    if (!exists(src)) return false;
    if (!replace && exists(dst)) return false;
    if (::rename(src.c_str(), dst.c_str()) == 0) return true;
    if (errno != EXDEV || isDirectory(src)) return false;
    if (!copyFile(src, dst, !replace)) return false;
    return ::unlink(src.c_str()) == 0;
}

bool removeFile(const std::string& path) { return ::unlink(toNative(path).c_str()) == 0; }
bool removeDirectory(const std::string& path) { return ::rmdir(toNative(path).c_str()) == 0; }

bool removeTree(const std::string& path)
{
    std::error_code ec;
    stdfs::remove_all(toNative(path), ec);
    return !ec;
}

std::optional<uint64_t> freeBytes(const std::string& path)
{
    struct statvfs v;
    if (::statvfs(toNative(path).c_str(), &v) != 0) return std::nullopt;
    return uint64_t(v.f_bavail) * uint64_t(v.f_frsize);
}

std::string mountPoint(const std::string& path)
{
    std::error_code ec;
    stdfs::path p = stdfs::weakly_canonical(toNative(path), ec);
    if (ec) p = toNative(path);
    struct stat st;
    while (::stat(p.c_str(), &st) != 0 && p.has_parent_path() && p != p.parent_path()) p = p.parent_path();
    dev_t dev = st.st_dev;
    // Walk up while the parent is on the same device.
    while (p.has_parent_path() && p != p.parent_path()) {
        struct stat pst;
        if (::stat(p.parent_path().c_str(), &pst) != 0 || pst.st_dev != dev) break;
        p = p.parent_path();
    }
    return withTrailingSlash(p.string());
}

std::string makeTempFile(const std::string& folder, const std::string& prefix)
{
    std::string tmpl = withTrailingSlash(folder.empty() ? "." : folder) + prefix + "XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    int fd = ::mkostemp(buf.data(), O_CLOEXEC);
    if (fd < 0) return "";
    ::close(fd);
    return buf.data();
}

bool readFile(const std::string& path, std::string& out)
{
    out.clear();
    int fd = ::open(toNative(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        out.append(buf, n);
    }
    ::close(fd);
    return true;
}

bool writeFile(const std::string& path, const std::string& data)
{
    std::string dst = toNative(path);
    std::string dir = folderOf(dst).empty() ? "." : folderOf(dst);
    std::string tmp = makeTempFile(dir, "." + fileName(dst) + ".");
    if (tmp.empty()) return false;
    int fd = ::open(tmp.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    bool ok = fd >= 0;
    for (size_t done = 0; ok && done < data.size();) {
        ssize_t w = ::write(fd, data.data() + done, data.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) ok = false;
        else done += w;
    }
    if (fd >= 0) {
        ok = ::fsync(fd) == 0 && ok;
        ok = ::close(fd) == 0 && ok;
    }
    struct stat st;
    mode_t mode = ::stat(dst.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    ::chmod(tmp.c_str(), mode);
    ok = ok && ::rename(tmp.c_str(), dst.c_str()) == 0;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

}  // namespace zeph::fs
