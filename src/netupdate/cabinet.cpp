#include "netupdate/cabinet.h"

#include "platform/datetime.h"
#include "platform/files.h"
#include "platform/textcodec.h"

#include <mspack.h>

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace zeph::nu {

namespace {

struct CabDecompressorDeleter {
    void operator()(mscab_decompressor* d) const { mspack_destroy_cab_decompressor(d); }
};

struct OpenCabinet {
    mscab_decompressor* decompressor;
    mscabd_cabinet* cabinet;
    ~OpenCabinet()
    {
        if (cabinet) decompressor->close(decompressor, cabinet);
    }
};

// Stored names are UTF-8 when flagged, else 8-bit text as Windows wrote it.
std::string storedNameText(const mscabd_file& f)
{
    std::string name = f.filename ? f.filename : "";
    if (f.attribs & MSCAB_ATTRIB_UTF_NAME) return name;
    return text::fromAnsi(name);
}

// The cabinet keeps local MS-DOS time; -1 when the fields make no date.
std::time_t storedTime(const mscabd_file& f)
{
    return dt::toTimeT({f.date_y, f.date_m, f.date_d, f.time_h, f.time_m, f.time_s, 0});
}

// Writes one file through a temporary file beside it, so an existing file (or a link standing
// in its place) is replaced rather than written through.
bool extractOne(mscab_decompressor* d, mscabd_file* file, const std::string& target)
{
    const std::string folder = fs::folderOf(target);
    if (!folder.empty() && !fs::isDirectory(folder) && !fs::createDirectories(folder)) return false;
    const std::string temp = fs::makeTempFile(folder.empty() ? "." : folder, ".cab-");
    if (temp.empty()) return false;
    if (d->extract(d, file, const_cast<char*>(temp.c_str())) != MSPACK_ERR_OK) {
        fs::removeFile(temp);
        return false;
    }
    // The temporary file is private; the extracted one gets the ordinary mode.
    mode_t mask = umask(0);
    umask(mask);
    mode_t mode = (file->attribs & MSCAB_ATTRIB_EXEC) ? 0777 : 0666;
    chmod(temp.c_str(), mode & ~mask);
    std::time_t when = storedTime(*file);
    if (when != std::time_t(-1)) fs::setModificationTime(temp, when);
    if (fs::isDirectory(target) || !fs::moveFile(temp, target, true)) {
        fs::removeFile(temp);
        return false;
    }
    return true;
}

}  // namespace

std::string SafeStoredName(const std::string& stored)
{
    std::string name = fs::toNative(stored);
    if (name.empty() || name.front() == '/') return {};
    if (name.size() >= 2 && name[1] == ':') return {};  // "C:..." names a drive
    if (name.back() == '/') return {};
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0 && end - start == 2) return {};
        start = end + 1;
    }
    return name;
}

int ExtractCabinet(const std::string& cabinetPath, const std::string& targetDir)
{
    const std::string path = fs::toNative(cabinetPath);
    if (std::FILE* probe = std::fopen(path.c_str(), "rb")) {
        std::fclose(probe);
    } else {
        return -1;
    }
    if (fs::isDirectory(path)) return -1;

    std::unique_ptr<mscab_decompressor, CabDecompressorDeleter> d(mspack_create_cab_decompressor(nullptr));
    if (!d) return -1;
    OpenCabinet cab{d.get(), d->open(d.get(), const_cast<char*>(path.c_str()))};
    if (!cab.cabinet) return -1;

    // Every name is checked before anything is written, so a hostile cabinet leaves no trace.
    const std::string base = fs::withTrailingSlash(fs::toNative(targetDir));
    std::vector<std::pair<mscabd_file*, std::string>> plan;
    for (mscabd_file* f = cab.cabinet->files; f; f = f->next) {
        std::string name = SafeStoredName(storedNameText(*f));
        if (name.empty()) return -1;
        plan.emplace_back(f, base + name);
    }
    for (auto& [file, target] : plan)
        if (!extractOne(d.get(), file, target)) return -1;
    return 0;
}

}  // namespace zeph::nu
