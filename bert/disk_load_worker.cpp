#include <cstdio>
#include <memory>

#include "bert/workers.h"

namespace qorval::bert {
namespace {

constexpr size_t kBlockSize = 4088;
constexpr long kRewindAfter = 0xA00000;  // 10 MB

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

void DiskLoadWorker(DiskLoadParams params) {
    const std::filesystem::path path = params.directory / kDiskLoadFileName;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        return;
    }
    static const uint8_t zeros[kBlockSize] = {};
    long offset = 0;
    while (params.running->load(std::memory_order_relaxed) != 0) {
        // A failing write (disk full) would otherwise spin here until stopped.
        if (std::fwrite(zeros, 1, kBlockSize, file.get()) != kBlockSize) {
            return;
        }
        offset += static_cast<long>(kBlockSize);
        if (offset > kRewindAfter) {
            if (std::fseek(file.get(), 0, SEEK_SET) != 0) {
                return;
            }
            offset = 0;
        }
    }
}

}  // namespace qorval::bert
