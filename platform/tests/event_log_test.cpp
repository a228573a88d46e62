#include "platform/event_log.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "platform/tests/temp_dir.h"

namespace qorval::platform {
namespace {

using testing::TempDir;

EventLogEntry RejectedValue() {
    EventLogEntry entry;
    entry.source = "Wyvel32";
    entry.error_code = 0xE007000C;
    entry.unique_value = 1;
    entry.dump_data = {0x300, 0};
    entry.strings = {"TxIdle"};
    return entry;
}

TEST(EventLog, FormatIsOneLine) {
    EXPECT_EQ(FormatEventLogEntry(RejectedValue()),
              "\"Wyvel32\" event 0xE007000C unique 1 major 0x00 status 0x00000000 "
              "ioctl 0x00000000 strings \"TxIdle\" dump 00000300 00000000");

    EventLogEntry odd;
    odd.source = "\\Device\\Wyvel32_001";
    odd.error_code = 0x60070001;
    odd.major_function = 0x0e;
    odd.final_status = 0xC0000001;
    odd.io_control_code = 0x9C40A404;
    odd.strings = {"two\nlines \"quoted\"", ""};
    EXPECT_EQ(FormatEventLogEntry(odd),
              "\"\\\\Device\\\\Wyvel32_001\" event 0x60070001 unique 0 major 0x0E "
              "status 0xC0000001 ioctl 0x9C40A404 strings \"two\\x0Alines \\\"quoted\\\"\" \"\" "
              "dump");
}

TEST(EventLog, FileSinkAppendsWholeLinesFromManyThreads) {
    TempDir dir;
    FileEventLog log(dir / "log", /*also_syslog=*/false);
    constexpr int kThreads = 4;
    constexpr int kEach = 50;
    RecordingEventLog recording;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kEach; ++i) {
                log.Write(RejectedValue());
                recording.Write(RejectedValue());
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(log.File(), dir / "log" / "wyvel32.log");
    std::ifstream in(log.File());
    const std::string expected_tail = " " + FormatEventLogEntry(RejectedValue());
    int lines = 0;
    for (std::string line; std::getline(in, line); ++lines) {
        ASSERT_GT(line.size(), expected_tail.size());
        EXPECT_EQ(line.substr(line.size() - expected_tail.size()), expected_tail);
    }
    EXPECT_EQ(lines, kThreads * kEach);
    EXPECT_EQ(log.Failures(), 0u);
    EXPECT_EQ(recording.Entries().size(), size_t{kThreads * kEach});
    recording.Clear();
    EXPECT_TRUE(recording.Entries().empty());
}

TEST(EventLog, UnwritableFolderIsCounted) {
    TempDir dir;
    testing::WriteFile(dir / "blocked", "a file where the folder should be");
    FileEventLog log(dir / "blocked", false);
    log.Write(RejectedValue());
    EXPECT_EQ(log.Failures(), 1u);
}

}  // namespace
}  // namespace qorval::platform
