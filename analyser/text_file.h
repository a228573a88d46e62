// The analyser's files: opened with exclusive sharing (a second open by another analyser
// fails), in text mode (a line feed is stored as carriage return and line feed; reading turns
// carriage return and line feed back into a line feed) or binary mode.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace qorval::analyser {

// Where the send-file decoder takes its characters from.
class CharSource {
  public:
    virtual ~CharSource() = default;
    // The next character 0..255, or -1 at the end of the data.
    virtual int Get() = 0;
    // Back to the first character; false when that is not possible.
    virtual bool Rewind() = 0;
};

class ExclusiveFile final : public CharSource {
  public:
    enum class Mode { Read, Append };

    ExclusiveFile() = default;
    ~ExclusiveFile() override;
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;

    // Read: the file must exist. Append: created when missing, contents kept, writes at the end.
    [[nodiscard]] bool Open(const std::filesystem::path& path, Mode mode, bool text);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

    int Get() override;
    bool Rewind() override;
    // One line without its line end; nullopt at the end of the file.
    std::optional<std::string> ReadLine();
    // Writes go through the stream's buffer; Flush (or Close) hands them to the system.
    bool Write(std::span<const uint8_t> bytes);
    bool Flush();

  private:
    std::FILE* file_ = nullptr;
    bool text_ = false;
};

}  // namespace qorval::analyser
