#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "bert/workers.h"
#include "platform/regular_file.h"

namespace qorval::bert {
namespace {

constexpr size_t kBlockSize = 4088;
constexpr long kRewindAfter = 0xA00000;  // 10 MB

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

void DiskLoadWorker(DiskLoadParams params) {
    const auto end = [&params](const std::string& problem) {
        if (params.ended) {
            params.ended(problem);
        }
    };
    const std::filesystem::path path = params.directory / kDiskLoadFileName;
    std::string problem;
    std::unique_ptr<std::FILE, FileCloser> file(
        platform::OpenRegularStream(path, platform::FileUse::Truncate, &problem));
    if (!file) {
        end(problem);
        return;
    }
    static const uint8_t zeros[kBlockSize] = {};
    long offset = 0;
    while (params.running->load(std::memory_order_relaxed) != 0) {
        // A failing write (disk full) would otherwise spin here until stopped.
        if (std::fwrite(zeros, 1, kBlockSize, file.get()) != kBlockSize) {
            end(path.string() + ": " + std::strerror(errno));
            return;
        }
        offset += static_cast<long>(kBlockSize);
        if (offset > kRewindAfter) {
            if (std::fseek(file.get(), 0, SEEK_SET) != 0) {
                end(path.string() + ": " + std::strerror(errno));
                return;
            }
            offset = 0;
        }
    }
}

}  // namespace qorval::bert
