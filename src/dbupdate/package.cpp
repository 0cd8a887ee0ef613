#include "dbupdate/package.h"

#include "dbupdate/faultpoint.h"
#include "platform/files.h"
#include "platform/textcodec.h"

#include <cstring>
#include <memory>
#include <zlib.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zeph::dbu {

namespace {

// Small enough that the inflated bytes are written and summed while still in the cache (measured).
constexpr size_t kCopyBufferSize = 64 * 1024;

const char* const kCorruptBody = "Poškozený balíček: data nelze rozbalit.";
const char* const kShortBody = "Poškozený balíček: rozbalená data jsou kratší, než udává balíček.";

int64_t readLE(const unsigned char* p, int bytes)
{
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return int64_t(v);
}

void putLE(std::string& out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i) out += char((v >> (8 * i)) & 0xFF);
}

// Copies exactly `count` inflated bytes from the reader to the destination, adding them to
// *sum when it is given.
void copyExactly(TMyDecompressionStream& reader, Stream& dest, int64_t count, uint64_t* sum)
{
    std::vector<unsigned char> buf(kCopyBufferSize);
    bool first = true;
    while (count > 0) {
        size_t want = size_t(std::min<int64_t>(count, int64_t(buf.size())));
        size_t got = reader.read(buf.data(), want);
        if (got == 0) throw PackageError(kShortBody);
        dest.write(buf.data(), got);
        if (sum) *sum = ChecksumBytes(*sum, buf.data(), got);
        count -= int64_t(got);
        if (first) {
            first = false;
            faultPoint("unpack");
        }
    }
}

}  // namespace

struct TMyDecompressionStream::State {
    z_stream zs{};
};

TMyDecompressionStream::TMyDecompressionStream(Stream& source)
    : z_(new State), source_(source), block_(kSourceBlockSize)
{
    if (inflateInit(&z_->zs) != Z_OK) {
        delete z_;
        throw PackageError(kCorruptBody);
    }
}

TMyDecompressionStream::~TMyDecompressionStream()
{
    inflateEnd(&z_->zs);
    delete z_;
}

size_t TMyDecompressionStream::read(void* buf, size_t n)
{
    z_stream& zs = z_->zs;
    zs.next_out = static_cast<Bytef*>(buf);
    zs.avail_out = uInt(std::min<size_t>(n, 1u << 30));
    size_t wanted = zs.avail_out;
    while (zs.avail_out > 0 && !ended_) {
        if (zs.avail_in == 0) {
            size_t got = source_.read(block_.data(), block_.size());
            if (got == 0) break;  // source dry before the stream ended
            zs.next_in = block_.data();
            zs.avail_in = uInt(got);
            if (OnProgress) OnProgress(source_.position());
        }
        int rc = inflate(&zs, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) ended_ = true;
        else if (rc != Z_OK && rc != Z_BUF_ERROR) throw PackageError(kCorruptBody);
    }
    size_t produced = wanted - zs.avail_out;
    if (produced == 0 && !ended_) throw PackageError(kCorruptBody);  // truncated stream
    produced_ += int64_t(produced);
    return produced;
}

void TMyDecompressionStream::write(const void*, size_t) { throw PackageError("Datový proud je jen pro čtení."); }
void TMyDecompressionStream::seek(int64_t) { throw PackageError("Datový proud nelze posouvat."); }

uint64_t ChecksumBytes(uint64_t sum, const unsigned char* data, size_t n)
{
#ifdef __SSE2__
    // psadbw against zero adds 16 bytes into two 64-bit lanes at once.
    __m128i acc = _mm_setzero_si128();
    const __m128i zero = _mm_setzero_si128();
    for (; n >= 16; n -= 16, data += 16)
        acc = _mm_add_epi64(acc, _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data)), zero));
    alignas(16) uint64_t lanes[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), acc);
    sum += lanes[0] + lanes[1];
#endif
    for (size_t i = 0; i < n; ++i) sum += data[i];
    return sum;
}

uint64_t PackageChecksum(Stream& stream)
{
    uint64_t sum = 1;
    std::vector<unsigned char> buf(kChecksumBlockSize);
    const int64_t size = stream.size();
    while (stream.position() < size) {
        size_t got = stream.read(buf.data(), buf.size());
        if (got == 0) break;
        sum = ChecksumBytes(sum, buf.data(), got);
    }
    return sum;
}

bool IsPlainFileName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..") return false;
    return name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

std::optional<PackageTrailer> ReadTrailer(Stream& package)
{
    const int64_t total = package.size();
    if (total < 4) return std::nullopt;
    unsigned char b[16];
    package.seek(total - 4);
    if (package.read(b, 4) < 4) return std::nullopt;
    int64_t n = int32_t(uint32_t(readLE(b, 4)));
    // A length that points before the start of the file reads nothing: the trailer is short.
    if (n < 0 || n + 20 > total) return std::nullopt;
    PackageTrailer t;
    package.seek(total - n - 20);
    if (package.read(b, 8) < 8) return std::nullopt;
    t.size = readLE(b, 8);
    if (package.read(b + 8, 8) < 8) return std::nullopt;
    t.checksum = uint64_t(readLE(b + 8, 8));
    t.storedName.resize(size_t(n));
    if (package.read(t.storedName.data(), size_t(n)) < size_t(n)) return std::nullopt;
    if (t.size < 0) return std::nullopt;
    t.bodyLength = total - n - 20;
    t.nameUtf8 = text::fromAnsi(t.storedName);
    return t;
}

bool UnpackFile(const std::string& sourceFile, const std::string& destFolder, std::string& destFile,
                Stream* source, Stream* dest, const ProgressFn& progress)
{
    std::unique_ptr<FileStream> ownSource;
    if (!source) {
        if (!fs::isFile(sourceFile)) return false;
        ownSource = std::make_unique<FileStream>(sourceFile, FileStream::Mode::Read);
        source = ownSource.get();
    }
    std::optional<PackageTrailer> trailer = ReadTrailer(*source);
    if (!trailer) return false;

    if (!dest && destFile.empty()) {
        if (!IsPlainFileName(trailer->nameUtf8)) return false;  // would escape the folder
        std::string folder = !destFolder.empty() ? destFolder : fs::folderOf(sourceFile);
        destFile = fs::withTrailingSlash(folder) + trailer->nameUtf8;
    }

    // A file this call creates is summed as it is written: it holds exactly those bytes, so
    // reading it back would only repeat the work.
    std::optional<uint64_t> writtenSum;
    if (dest || !fs::exists(destFile)) {
        source->seek(0);
        std::unique_ptr<FileStream> ownDest;
        if (!dest) ownDest = std::make_unique<FileStream>(destFile, FileStream::Mode::Create);
        Stream& target = dest ? *dest : *ownDest;
        uint64_t sum = 1;
        if (trailer->size > 0) {
            TMyDecompressionStream reader(*source);
            if (progress) reader.OnProgress = progress;
            copyExactly(reader, target, trailer->size, ownDest ? &sum : nullptr);
        }
        if (ownDest) writtenSum = sum;
    }
    if (writtenSum) return *writtenSum == trailer->checksum;

    std::unique_ptr<FileStream> ownCheck;
    if (!dest) ownCheck = std::make_unique<FileStream>(destFile, FileStream::Mode::Read);
    Stream& check = dest ? *dest : *ownCheck;
    check.seek(0);
    return PackageChecksum(check) == trailer->checksum;
}

bool VerifyPackage(const std::string& packageFile)
{
    FileStream source(packageFile, FileStream::Mode::Read);
    std::optional<PackageTrailer> trailer = ReadTrailer(source);
    if (!trailer || !IsPlainFileName(trailer->nameUtf8)) return false;
    source.seek(0);
    uint64_t sum = 1;
    if (trailer->size > 0) {
        TMyDecompressionStream reader(source);
        std::vector<unsigned char> buf(kCopyBufferSize);
        for (int64_t left = trailer->size; left > 0;) {
            size_t got = reader.read(buf.data(), size_t(std::min<int64_t>(left, int64_t(buf.size()))));
            if (got == 0) throw PackageError(kShortBody);
            sum = ChecksumBytes(sum, buf.data(), got);
            left -= int64_t(got);
        }
    }
    return sum == trailer->checksum;
}

void PackFile(const std::string& inputFile, const std::string& outputFile, const std::string& storedName,
              int level)
{
    FileStream in(inputFile, FileStream::Mode::Read);
    std::string outTmp = fs::makeTempFile(fs::folderOf(outputFile).empty() ? "." : fs::folderOf(outputFile),
                                          "." + fs::fileName(outputFile) + ".");
    if (outTmp.empty()) throw PackageError("Nelze vytvořit soubor " + outputFile + ".");
    fs::removeFile(outTmp);
    try {
        FileStream out(outTmp, FileStream::Mode::Create);
        z_stream zs{};
        if (deflateInit(&zs, level) != Z_OK) throw PackageError("Nelze komprimovat data.");
        std::vector<unsigned char> inBuf(kCopyBufferSize), outBuf(kCopyBufferSize);
        uint64_t sum = 1;
        int64_t size = 0;
        int flush = Z_NO_FLUSH;
        do {
            size_t got = in.read(inBuf.data(), inBuf.size());
            flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
            sum = ChecksumBytes(sum, inBuf.data(), got);
            size += int64_t(got);
            zs.next_in = inBuf.data();
            zs.avail_in = uInt(got);
            do {
                zs.next_out = outBuf.data();
                zs.avail_out = uInt(outBuf.size());
                deflate(&zs, flush);
                out.write(outBuf.data(), outBuf.size() - zs.avail_out);
            } while (zs.avail_out == 0);
        } while (flush != Z_FINISH);
        deflateEnd(&zs);
        std::string name = text::utf8ToCp1250(storedName);
        std::string trailer;
        putLE(trailer, uint64_t(size), 8);
        putLE(trailer, sum, 8);
        trailer += name;
        putLE(trailer, uint32_t(name.size()), 4);
        out.write(trailer.data(), trailer.size());
    } catch (...) {
        fs::removeFile(outTmp);
        throw;
    }
    if (!fs::moveFile(outTmp, outputFile, true)) {
        fs::removeFile(outTmp);
        throw PackageError("Nelze vytvořit soubor " + outputFile + ".");
    }
}

}  // namespace zeph::dbu
