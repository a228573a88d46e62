// What may stand at a name a user gives a tool, and what opening it for each use does: only a
// regular file is ever opened, a FIFO or device never blocks the open, and a symbolic link is
// followed for reading but never written through.
#include "platform/regular_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "platform/tests/temp_dir.h"

namespace qorval::platform {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

enum class Kind { Missing, Regular, Fifo, Folder, Device, LinkToRegular, DanglingLink };

struct Case {
    Kind kind;
    FileUse use;
    bool opens;
    const char* contents_after;  // of the file (or the link's target); null: not checked
    const char* problem;         // part of the reason when it does not open
};

const char* Name(FileUse use) {
    switch (use) {
        case FileUse::Read:
            return "Read";
        case FileUse::Write:
            return "Write";
        case FileUse::Truncate:
            return "Truncate";
        case FileUse::Append:
            return "Append";
    }
    return "?";
}

// Opens on another thread, so that an open that blocks fails the test instead of hanging it;
// the FIFO's other end is then opened to let it go.
OpenedFile OpenWithin(const std::filesystem::path& path, FileUse use) {
    auto opening = std::async(std::launch::async, [&] { return OpenRegularFile(path, use); });
    if (opening.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << path << " blocked the open for " << Name(use);
        const int release = ::open(path.c_str(), O_RDWR | O_NONBLOCK);
        OpenedFile blocked = opening.get();
        ::close(release);
        ::close(blocked.fd);
        return {};
    }
    return opening.get();
}

TEST(RegularFile, OnlyARegularFileOpensAndNothingElseBlocksOrIsWrittenThrough) {
    constexpr auto R = FileUse::Read, W = FileUse::Write, T = FileUse::Truncate,
                   A = FileUse::Append;
    const Case cases[] = {
        {Kind::Missing, R, false, nullptr, "No such file"},
        {Kind::Missing, W, true, "", nullptr},
        {Kind::Missing, T, true, "", nullptr},
        {Kind::Missing, A, true, "", nullptr},
        {Kind::Regular, R, true, "old", nullptr},
        {Kind::Regular, W, true, "old", nullptr},
        {Kind::Regular, T, true, "", nullptr},
        {Kind::Regular, A, true, "old", nullptr},
        {Kind::Fifo, R, false, nullptr, "not a regular file"},
        {Kind::Fifo, W, false, nullptr, "not a regular file"},
        {Kind::Fifo, T, false, nullptr, "not a regular file"},
        {Kind::Fifo, A, false, nullptr, "not a regular file"},
        {Kind::Folder, R, false, nullptr, "not a regular file"},
        {Kind::Folder, A, false, nullptr, "not a regular file"},
        {Kind::Device, R, false, nullptr, "not a regular file"},
        {Kind::Device, T, false, nullptr, "not a regular file"},
        {Kind::LinkToRegular, R, true, "old", nullptr},
        {Kind::LinkToRegular, W, false, "old", "symbolic link"},
        {Kind::LinkToRegular, T, false, "old", "symbolic link"},
        {Kind::LinkToRegular, A, false, "old", "symbolic link"},
        {Kind::DanglingLink, R, false, nullptr, "No such file"},
        {Kind::DanglingLink, T, false, nullptr, "symbolic link"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::filesystem::path name = dir / "file";
        const auto target = dir / "target";
        switch (c.kind) {
            case Kind::Missing:
                break;
            case Kind::Regular:
                WriteFile(name, "old");
                break;
            case Kind::Fifo:
                ASSERT_EQ(::mkfifo(name.c_str(), 0600), 0);
                break;
            case Kind::Folder:
                std::filesystem::create_directory(name);
                break;
            case Kind::Device:
                name = "/dev/null";
                break;
            case Kind::LinkToRegular:
                WriteFile(target, "old");
                std::filesystem::create_symlink(target, name);
                break;
            case Kind::DanglingLink:
                std::filesystem::create_symlink(target, name);
                break;
        }
        SCOPED_TRACE(std::string(Name(c.use)) + " on case " + std::to_string(int(c.kind)));
        OpenedFile opened = OpenWithin(name, c.use);
        EXPECT_EQ(opened.fd >= 0, c.opens) << opened.problem;
        if (opened.fd >= 0) {
            EXPECT_EQ(::fcntl(opened.fd, F_GETFL) & O_NONBLOCK, 0);
            EXPECT_NE(::fcntl(opened.fd, F_GETFD) & FD_CLOEXEC, 0);
            if (c.use != FileUse::Read) {
                ASSERT_EQ(::write(opened.fd, "+", 1), 1);
            }
            ::close(opened.fd);
        } else {
            EXPECT_NE(opened.problem.find(name.string()), std::string::npos) << opened.problem;
            EXPECT_NE(opened.problem.find(c.problem), std::string::npos) << opened.problem;
            EXPECT_EQ(opened.missing, c.kind == Kind::Missing || c.kind == Kind::DanglingLink
                                          ? c.use == FileUse::Read
                                          : false);
        }
        const bool linked = c.kind == Kind::LinkToRegular || c.kind == Kind::DanglingLink;
        if (c.contents_after != nullptr) {
            std::string expected = c.contents_after;
            if (opened.fd >= 0 && c.use == FileUse::Append) {
                expected += "+";
            } else if (opened.fd >= 0 && c.use != FileUse::Read) {
                expected = "+" + expected.substr(std::min<size_t>(1, expected.size()));
            }
            EXPECT_EQ(ReadFile(linked ? target : name), expected);
        }
        if (c.kind == Kind::DanglingLink) {
            EXPECT_FALSE(std::filesystem::exists(target)) << "a link was written through";
        }
    }
}

TEST(RegularFile, AStreamWritesAndReadsLikeTheFile) {
    TempDir dir;
    std::string problem;
    std::FILE* out = OpenRegularStream(dir / "log", FileUse::Truncate, &problem);
    ASSERT_NE(out, nullptr) << problem;
    std::fputs("line\n", out);
    std::fclose(out);
    out = OpenRegularStream(dir / "log", FileUse::Append, &problem);
    ASSERT_NE(out, nullptr) << problem;
    std::fputs("more\n", out);
    std::fclose(out);
    EXPECT_EQ(ReadFile(dir / "log"), "line\nmore\n");

    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(OpenRegularStream(dir / "fifo", FileUse::Read, &problem), nullptr);
    EXPECT_EQ(problem, (dir / "fifo").string() + ": not a regular file");
}

}  // namespace
}  // namespace qorval::platform
