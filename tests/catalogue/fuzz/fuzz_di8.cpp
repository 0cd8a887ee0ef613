// Fuzz target of the descriptor reader: the parent's parser of the child's reply, and the whole
// isolated read of a file with these bytes. Neither may crash or hang the caller.
#include "catalogue/database.h"
#include "catalogue/properties_row.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string& scratchFile()
{
    static const std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string p = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_di8_XXXXXX";
        int fd = mkstemp(p.data());
        if (fd < 0) std::abort();
        close(fd);
        std::atexit([] { unlink(scratchFile().c_str()); });
        return p;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    zeph::cat::DecodeReply(bytes);

    FILE* f = std::fopen(scratchFile().c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    zeph::cat::ReadDatabaseProperties(scratchFile(), true, nullptr);
    return 0;
}
