#include "host/bus/stream_token.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/regular_file.h"

namespace qorval::host {
namespace {

std::string MakeToken() {
    unsigned char random[kStreamTokenDigits / 2];
    size_t got = 0;
    while (got < sizeof random) {
        const ssize_t n = ::getrandom(random + got, sizeof random - got, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return {};
        }
        got += static_cast<size_t>(n);
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string token;
    for (const unsigned char byte : random) {
        token += kDigits[byte >> 4];
        token += kDigits[byte & 0xF];
    }
    return token;
}

bool IsToken(std::string_view text) {
    return text.size() == kStreamTokenDigits &&
           text.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

std::string Create(const std::filesystem::path& file, std::string* error) {
    const std::string token = MakeToken();
    // O_EXCL: a file (or link) put there meanwhile is never written through.
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    const std::string line = token + "\n";
    if (token.empty() || fd < 0 || ::write(fd, line.data(), line.size()) != ssize_t(line.size())) {
        *error = file.string() + ": cannot make the stream token: " + std::strerror(errno);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(file.c_str());
        }
        return {};
    }
    ::close(fd);
    return token;
}

}  // namespace

std::string LoadOrCreateStreamToken(const std::filesystem::path& file, std::string* error) {
    platform::OpenedFile opened = platform::OpenRegularFile(file, platform::FileUse::Read);
    if (opened.missing) {
        return Create(file, error);
    }
    if (opened.fd < 0) {
        *error = opened.problem;
        return {};
    }
    struct stat info {};
    char text[kStreamTokenDigits + 2] = {};
    const bool looked = ::fstat(opened.fd, &info) == 0;
    const ssize_t length = ::read(opened.fd, text, sizeof text);
    ::close(opened.fd);
    if (!looked || info.st_uid != ::geteuid() || (info.st_mode & 077) != 0) {
        *error = file.string() +
                 ": the stream token must be a file of the host's user alone (chmod 600 it)";
        return {};
    }
    std::string_view token(text, length > 0 ? static_cast<size_t>(length) : 0);
    if (token.ends_with('\n')) {
        token.remove_suffix(1);
    }
    if (!IsToken(token)) {
        *error = file.string() + ": not a stream token (32 hexadecimal digits)";
        return {};
    }
    return std::string(token);
}

bool TokenMatches(std::string_view line, std::string_view token) {
    if (line.size() != token.size()) {
        return false;
    }
    unsigned char difference = 0;
    for (size_t i = 0; i < token.size(); ++i) {
        difference |= static_cast<unsigned char>(line[i] ^ token[i]);
    }
    return difference == 0;
}

}  // namespace qorval::host
