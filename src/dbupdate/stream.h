// Byte streams for packages: a file or a memory buffer, read and written sequentially with seeks.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zeph::dbu {

// Raised for failures that reach the caller as errors (corrupt package body, files that cannot
// be opened or created). The message is Czech and meant for the user.
class PackageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Stream {
public:
    virtual ~Stream() = default;
    // Up to n bytes; fewer only at the end. Raises PackageError on an I/O failure.
    virtual size_t read(void* buf, size_t n) = 0;
    // All n bytes or PackageError.
    virtual void write(const void* buf, size_t n) = 0;
    virtual void seek(int64_t pos) = 0;  // a position outside 0..size() reads nothing
    virtual int64_t position() const = 0;
    virtual int64_t size() const = 0;
};

class MemoryStream : public Stream {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::string bytes) : data_(std::move(bytes)) {}
    size_t read(void* buf, size_t n) override;
    void write(const void* buf, size_t n) override;
    void seek(int64_t pos) override { pos_ = pos; }
    int64_t position() const override { return pos_; }
    int64_t size() const override { return int64_t(data_.size()); }
    const std::string& bytes() const { return data_; }

private:
    std::string data_;
    int64_t pos_ = 0;
};

class FileStream : public Stream {
public:
    enum class Mode { Read, Create };
    // Raises PackageError when the file cannot be opened (Read) or created (Create; an
    // existing file is not replaced).
    FileStream(const std::string& path, Mode mode);
    ~FileStream() override;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    size_t read(void* buf, size_t n) override;
    void write(const void* buf, size_t n) override;
    void seek(int64_t pos) override;
    int64_t position() const override { return pos_; }
    int64_t size() const override;

private:
    int fd_ = -1;
    int64_t pos_ = 0;
    std::string path_;
};

}  // namespace zeph::dbu
