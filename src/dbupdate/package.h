// Packages (.dzp): one zlib-compressed file followed by a trailer
//   [body][U: int64 size][S: uint64 byte-sum][name: N bytes, code page 1250][N: int32]
// all little-endian. The trailer is found from the end; the body has no length of its own.
#pragma once

#include "dbupdate/stream.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zeph::dbu {

constexpr size_t kSourceBlockSize = 65536;    // the reader's source blocks
constexpr size_t kChecksumBlockSize = 64000;  // the checksum's read blocks

// Fired by the reader after each further source block, with the source position reached.
using ProgressFn = std::function<void(int64_t sourcePosition)>;

// Inflates a zlib stream read from the source's current position. Raises PackageError when
// the body is not a valid zlib stream.
class TMyDecompressionStream : public Stream {
public:
    explicit TMyDecompressionStream(Stream& source);
    ~TMyDecompressionStream() override;
    TMyDecompressionStream(const TMyDecompressionStream&) = delete;
    TMyDecompressionStream& operator=(const TMyDecompressionStream&) = delete;

    ProgressFn OnProgress;

    // Inflated bytes; 0 once the zlib stream has ended (or its source ran dry: an error).
    size_t read(void* buf, size_t n) override;
    void write(const void*, size_t) override;
    void seek(int64_t) override;
    int64_t position() const override { return produced_; }
    int64_t size() const override { return -1; }

private:
    struct State;
    State* z_;
    Stream& source_;
    std::vector<unsigned char> block_;
    int64_t produced_ = 0;
    bool ended_ = false;
};

// 1 plus every byte as unsigned, modulo 2^64, from the stream's position to its end.
uint64_t PackageChecksum(Stream& stream);
uint64_t ChecksumBytes(uint64_t start, const unsigned char* data, size_t n);

struct PackageTrailer {
    int64_t bodyLength = 0;   // L
    int64_t size = 0;         // U
    uint64_t checksum = 0;    // S
    std::string storedName;   // as stored (code page 1250 bytes)
    std::string nameUtf8;     // as a file name here
};
// The trailer of a package; nullopt when it is short or implausible.
std::optional<PackageTrailer> ReadTrailer(Stream& package);

// A plain file name: not empty, not "." or "..", no "/" or "\", no NUL. Anything else could
// make a package write outside its destination folder.
bool IsPlainFileName(const std::string& name);

// Unpacks a package (see the header comment). destFile is in/out: when empty and no dest stream
// is given, it is formed as the folder (destFolder, else the source's folder) + stored name and
// handed back. True when the destination's checksum equals the stored one. Missing source,
// short trailer or an unsafe stored name: false, nothing created. A present destination file is
// not overwritten, only verified. Errors (corrupt body, files that cannot be opened/created)
// raise PackageError.
bool UnpackFile(const std::string& sourceFile, const std::string& destFolder, std::string& destFile,
                Stream* source = nullptr, Stream* dest = nullptr, const ProgressFn& progress = {});

// Whether the package's body inflates to exactly U bytes with the stored checksum; writes nothing.
// False for a bad trailer or an unsafe stored name; PackageError for a corrupt body.
bool VerifyPackage(const std::string& packageFile);

// Writes a package of the file, storing storedName (UTF-8, converted to code page 1250).
// Raises PackageError on failure; the output is written through a temporary file.
void PackFile(const std::string& inputFile, const std::string& outputFile, const std::string& storedName,
              int level = 6);

}  // namespace zeph::dbu
