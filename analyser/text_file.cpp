#include "analyser/text_file.h"

#include <sys/file.h>
#include <unistd.h>

#include "platform/regular_file.h"

namespace qorval::analyser {

ExclusiveFile::~ExclusiveFile() {
    Close();
}

bool ExclusiveFile::Open(const std::filesystem::path& path, Mode mode, bool text) {
    Close();
    platform::OpenedFile opened = platform::OpenRegularFile(
        path, mode == Mode::Read ? platform::FileUse::Read : platform::FileUse::Append, 0644);
    if (opened.fd < 0) {
        return false;
    }
    const int fd = opened.fd;
    // The lock is what the exclusive sharing of the original platform becomes: another
    // analyser (or any program that asks for the lock) cannot open the file meanwhile.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    file_ = ::fdopen(fd, mode == Mode::Read ? "rb" : "ab");
    if (file_ == nullptr) {
        ::close(fd);
        return false;
    }
    text_ = text;
    return true;
}

void ExclusiveFile::Close() {
    if (file_ != nullptr) {
        std::fclose(file_);  // also releases the lock
        file_ = nullptr;
    }
}

int ExclusiveFile::Get() {
    if (file_ == nullptr) {
        return -1;
    }
    const int c = std::getc(file_);
    if (c == '\r' && text_) {
        const int next = std::getc(file_);
        if (next == '\n') {
            return next;
        }
        if (next != EOF) {
            std::ungetc(next, file_);
        }
    }
    return c == EOF ? -1 : c;
}

bool ExclusiveFile::Rewind() {
    if (file_ == nullptr) {
        return false;
    }
    std::clearerr(file_);
    return std::fseek(file_, 0, SEEK_SET) == 0;
}

std::optional<std::string> ExclusiveFile::ReadLine() {
    std::string line;
    int c = Get();
    if (c < 0) {
        return std::nullopt;
    }
    for (; c >= 0 && c != '\n'; c = Get()) {
        line += static_cast<char>(c);
    }
    return line;
}

bool ExclusiveFile::Write(std::span<const uint8_t> bytes) {
    if (file_ == nullptr) {
        return false;
    }
    if (!text_) {
        return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    }
    // Text mode: each line feed is stored as carriage return and line feed.
    bool ok = true;
    size_t start = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            const size_t run = i - start;
            ok = std::fwrite(bytes.data() + start, 1, run, file_) == run && ok;
            ok = std::fwrite("\r", 1, 1, file_) == 1 && ok;
            start = i;  // the line feed goes out with the next run
        }
    }
    const size_t run = bytes.size() - start;
    return std::fwrite(bytes.data() + start, 1, run, file_) == run && ok;
}

bool ExclusiveFile::Flush() {
    return file_ == nullptr || std::fflush(file_) == 0;
}

}  // namespace qorval::analyser
