// Feeds arbitrary text to the profile parser: every line must come back unchanged after a
// rewrite, and an edit must be readable afterwards without disturbing the other lines.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/profile_format.h"

using namespace qorval::platform;

namespace {

bool SameLines(const ProfileDocument& a, const ProfileDocument& b) {
    if (a.Lines().size() != b.Lines().size()) {
        return false;
    }
    for (size_t i = 0; i < a.Lines().size(); ++i) {
        if (a.Lines()[i].text != b.Lines()[i].text) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ProfileDocument doc = ProfileDocument::Parse(text);
    if (!SameLines(doc, ProfileDocument::Parse(doc.Write()))) {
        std::abort();
    }
    for (const auto& section : doc.SectionNames()) {
        for (const auto& key : doc.KeyNames(section)) {
            if (!doc.Find(section, key)) {
                std::abort();
            }
        }
        (void)doc.SectionLines(section);
    }
    const size_t lines_before = doc.Lines().size();
    ProfileDocument edited = doc;
    edited.SetValue("fuzz", "key", "value");
    if (edited.Find("fuzz", "key") != "value" || edited.Lines().size() > lines_before + 2 ||
        !SameLines(edited, ProfileDocument::Parse(edited.Write()))) {
        std::abort();
    }
    edited.SetValue("fuzz", "key", std::nullopt);
    edited.RemoveSection("fuzz");
    (void)ParseProfileInt(text);
    return 0;
}
