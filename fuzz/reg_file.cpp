// Feeds arbitrary text to the registry file parser. Whatever parses must survive a write and a
// second parse unchanged; whatever does not must be refused with a line and a reason.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/reg_file_format.h"

using namespace qorval::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    RegKey root;
    RegParseError error;
    if (!ParseRegFile(text, root, error)) {
        if (error.line == 0 || error.what.empty()) {
            std::abort();
        }
        return 0;
    }
    const std::string written = WriteRegFile(root);
    RegKey again;
    if (!ParseRegFile(written, again, error) || !(again == root) ||
        WriteRegFile(again) != written) {
        std::abort();
    }
    return 0;
}
