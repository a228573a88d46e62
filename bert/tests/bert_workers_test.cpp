// The workers over the fake library, on their own threads.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "bert/bert_session.h"
#include "bert/pattern.h"
#include "bert/tests/test_wait.h"
#include "bert/workers.h"
#include "platform/testing/fifo_watchdog.h"
#include "platform/testing/temporary_directory.h"
#include "portaccess/fake/fake_library.h"

namespace {

using namespace qorval::bert;
using qorval::bert::testing::WaitFor;
using qorval::fake::FakeLibrary;

constexpr uint16_t kDriver = QORVAL_DRIVER_WYVEL32;

uint32_t Load(const std::atomic<uint32_t>& a) {
    return a.load(std::memory_order_relaxed);
}

std::vector<uint8_t> Frame() {
    return {kPattern.begin(), kPattern.begin() + kFrameSize};
}

class BertWorkersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake.Reset();
        fake.AddPort({.port = 1});
        fake.AddPort({.port = 2});
    }
    FakeLibrary& fake = FakeLibrary::Instance();
    SharedPortLoss loss{qorval::PortLoss::kNone};
};

TEST_F(BertWorkersTest, TesterAndRepeaterKeepInSyncWithoutErrors) {
    fake.ConnectPair(kDriver, 1, 2);
    BertSession repeater;
    repeater.Port().SelectPort(kDriver, 2);
    ASSERT_EQ(repeater.OpenPort(), QORVAL_OK);
    repeater.SetRepeatMode(true);
    BertSession tester;
    ASSERT_EQ(tester.OpenPort(), QORVAL_OK);
    ASSERT_FALSE(tester.StartStop().has_value());

    const BertCounters& c = tester.Counters();
    ASSERT_TRUE(WaitFor(
        [&] { return c.syncState.load() == SyncState::kInSync && Load(c.rxFrames) >= 20; }));
    tester.Shutdown();
    repeater.Shutdown();

    EXPECT_EQ(Load(c.bitErrors), 0u);
    EXPECT_EQ(Load(c.syncLosses), 0u);
    EXPECT_LE(Load(c.rxFrames), Load(c.txFrames));
    EXPECT_EQ(Load(c.crcErrors) + Load(c.overrunErrors) + Load(c.lineErrors) + Load(c.otherErrors),
              0u);
    const BertCounters& r = repeater.Counters();
    EXPECT_EQ(Load(r.txFrames), Load(r.rxFrames)) << "every received frame goes back";
}

TEST_F(BertWorkersTest, RepeatModeSendsEachFrameBackUnchanged) {
    std::vector<uint8_t> odd = {1, 2, 3, 4, 5};
    fake.QueueFrame(kDriver, 1, odd);
    fake.QueueFrame(kDriver, 1, Frame());
    BertSession session;
    session.SetRepeatMode(true);
    ASSERT_EQ(session.OpenPort(), QORVAL_OK);
    ASSERT_TRUE(WaitFor([&] { return Load(session.Counters().rxFrames) == 2; }));
    session.Shutdown();
    auto sent = fake.TakeSentFrames(kDriver, 1);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].bytes, odd);
    EXPECT_EQ(sent[1].bytes, Frame());
    EXPECT_EQ(Load(session.Counters().txFrames), 2u);
}

TEST_F(BertWorkersTest, ErrorFramesAreReceivedCheckedAndCountedByKind) {
    // Four clean frames bring sync; then one frame per error kind, and one error without data.
    for (int i = 0; i < 4; ++i) {
        fake.QueueFrame(kDriver, 1, Frame());
    }
    auto damaged = Frame();
    damaged[100] ^= 0x03;
    for (uint32_t result :
         {QORVAL_CRC_ERROR, QORVAL_OVERRUN, QORVAL_LINE_ERROR, QORVAL_GENERAL_ERROR}) {
        fake.QueueFrame(kDriver, 1, damaged, 0, result);
    }
    BertSession session;
    ASSERT_EQ(session.OpenPort(), QORVAL_OK);
    const BertCounters& c = session.Counters();
    ASSERT_TRUE(WaitFor([&] { return Load(c.rxFrames) == 8; }));
    fake.FailNext("QORVAL_GetData", QORVAL_PARITY_ERROR);
    ASSERT_TRUE(WaitFor([&] { return Load(c.otherErrors) == 2; }));
    session.Shutdown();
    EXPECT_EQ(Load(c.crcErrors), 1u);
    EXPECT_EQ(Load(c.overrunErrors), 1u);
    EXPECT_EQ(Load(c.lineErrors), 1u);
    EXPECT_EQ(Load(c.bitErrors), 4u * 2);
    EXPECT_EQ(Load(c.bytesChecked), 5u * kFrameSize);
    EXPECT_EQ(Load(c.rxFrames), 8u);
}

TEST_F(BertWorkersTest, TransmitWorkerStopsWhileNoBufferEverFrees) {
    Qorval_Port port{kDriver, 1};
    ASSERT_EQ(port.Open(), QORVAL_OK);
    fake.SetTxBuffersFree(kDriver, 1, 0);
    std::atomic<uint32_t> txFrames{0};
    WorkerThread worker;
    worker.Start([&] { TransmitWorker({&port, &worker.Running(), &txFrames, &loss}); });
    ASSERT_TRUE(WaitFor([&] {
        auto log = fake.CallLog();
        return std::count(log.begin(), log.end(),
                          "QORVAL_GetBufferCount(" + std::to_string(port.GetHandle()) + ")") > 3;
    }));
    worker.Stop();  // returns only when the worker has left its wait
    EXPECT_EQ(txFrames.load(), 0u);
    EXPECT_TRUE(fake.TakeSentFrames(kDriver, 1).empty());
}

// At a fast line one count per frame leaves the ring half empty: every buffer the count
// reported free is filled before the count is asked again.
TEST_F(BertWorkersTest, TransmitWorkerFillsEveryBufferItCountedFree) {
    constexpr uint16_t kFree = 5;
    Qorval_Port port{kDriver, 1};
    ASSERT_EQ(port.Open(), QORVAL_OK);
    fake.SetTxBuffersFree(kDriver, 1, kFree);
    fake.ClearCallLog();
    std::atomic<uint32_t> txFrames{0};
    WorkerThread worker;
    worker.Start([&] { TransmitWorker({&port, &worker.Running(), &txFrames, &loss}); });
    ASSERT_TRUE(WaitFor([&] { return Load(txFrames) >= 200; }));
    worker.Stop();
    const auto log = fake.CallLog();
    const auto calls = [&](const std::string& name) {
        return static_cast<size_t>(std::count_if(log.begin(), log.end(), [&](const auto& c) {
            return c.starts_with(name + "(");
        }));
    };
    const size_t counts = calls("QORVAL_GetBufferCount");
    const size_t puts = calls("QORVAL_PutData");
    ASSERT_GE(counts, 1u);
    // Only the last batch may be cut short by the stop.
    EXPECT_GE(puts, kFree * (counts - 1));
    EXPECT_LE(puts, kFree * counts);
    EXPECT_EQ(puts, Load(txFrames));
    const auto sent = fake.TakeSentFrames(kDriver, 1);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front().bytes, Frame());
}

TEST_F(BertWorkersTest, ReceiveWorkerEndsWhenThePortCannotBeDescribed) {
    Qorval_Port port{kDriver, 1};
    ASSERT_EQ(port.Open(), QORVAL_OK);
    fake.QueueFrame(kDriver, 1, Frame());
    fake.FailNext("QORVAL_GetPortInfo", QORVAL_GENERAL_ERROR);
    std::atomic<uint16_t> running{1};
    std::atomic<uint32_t> repeat{0};
    BertCounters counters;
    BertChecker checker;
    std::thread worker(ReceiveWorker,
                       ReceiveParams{&port, &running, &repeat, &counters, &checker, &loss});
    worker.join();  // with the running flag still set
    EXPECT_EQ(Load(counters.rxFrames), 0u);
}

// A dead handle fails every request at once: workers that went on would spin on failures
// (counting each read's as an "Other Error"). Both end on their own, with the running flags
// still set, and leave the cause for the window.
TEST_F(BertWorkersTest, WorkersEndOnTheirOwnWhenThePortGoes) {
    for (const bool removed : {false, true}) {
        SCOPED_TRACE(removed ? "port removed" : "host killed");
        fake.Reset();
        fake.AddPort({.port = 1});
        loss = qorval::PortLoss::kNone;
        Qorval_Port port{kDriver, 1};
        ASSERT_EQ(port.Open(), QORVAL_OK);
        fake.SetTxBuffersFree(kDriver, 1, 0);  // the transmitter waits for a buffer
        std::atomic<uint16_t> running{1};
        std::atomic<uint32_t> repeat{0}, txFrames{0};
        BertCounters counters;
        BertChecker checker;
        std::thread receive(ReceiveWorker,
                            ReceiveParams{&port, &running, &repeat, &counters, &checker, &loss});
        std::thread transmit(TransmitWorker, TransmitParams{&port, &running, &txFrames, &loss});
        ASSERT_TRUE(WaitFor([&] { return fake.CallLog().size() > 20; }));
        if (removed) {
            fake.RemovePort(kDriver, 1);
        } else {
            fake.KillHost();
        }
        receive.join();
        transmit.join();
        EXPECT_EQ(running.load(), 1);
        EXPECT_EQ(loss.load(),
                  removed ? qorval::PortLoss::kPortRemoved : qorval::PortLoss::kHostGone);
        EXPECT_EQ(Load(counters.otherErrors), 0u);
        port.Close();
    }
}

class DiskLoadTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(temp.Path().empty()); }
    qorval::testing::TemporaryDirectory temp{"kessup"};
    const std::filesystem::path& dir = temp.Path();
};

TEST_F(DiskLoadTest, WritesZeroBlocksUntilStopped) {
    WorkerThread worker;
    worker.Start([&] { DiskLoadWorker({&worker.Running(), dir, {}}); });
    const auto file = dir / kDiskLoadFileName;
    ASSERT_TRUE(WaitFor([&] {
        std::error_code ec;
        return std::filesystem::file_size(file, ec) >= 4 * 4088 && !ec;
    }));
    worker.Stop();
    const auto size = std::filesystem::file_size(file);
    EXPECT_EQ(size % 4088, 0u) << "whole blocks, flushed at close";
    EXPECT_LE(size, 0xA00000u + 4088);
}

// testfile.dat in a shared folder may be a FIFO or a link another user planted: the worker must
// neither wait on the FIFO nor turn the link's target into zeros, and says why it ended.
TEST_F(DiskLoadTest, AFifoOrAPlantedLinkEndsTheWorkerAtOnceAndIsNotWrittenThrough) {
    const auto file = dir / kDiskLoadFileName;
    const auto victim = dir / "victim";
    std::ofstream(victim) << "precious";
    for (const bool fifo : {true, false}) {
        std::filesystem::remove(file);
        if (fifo) {
            ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
        } else {
            std::filesystem::create_symlink(victim, file);
        }
        const qorval::platform::testing::FifoWatchdog watchdog(file);
        std::atomic<uint16_t> running{1};
        std::string problem;
        std::thread worker(
            DiskLoadWorker,
            DiskLoadParams{&running, dir, [&](const std::string& why) { problem = why; }});
        worker.join();  // ends by itself
        EXPECT_FALSE(watchdog.Fired()) << "waited on the FIFO";
        EXPECT_NE(problem.find(file.string() + ": "), std::string::npos) << problem;
        EXPECT_EQ(std::filesystem::file_size(victim), 8u);
        EXPECT_EQ(fifo ? std::filesystem::is_fifo(std::filesystem::symlink_status(file))
                       : std::filesystem::is_symlink(file),
                  true);
    }
}

TEST_F(DiskLoadTest, EndsWhenTheFileCannotBeCreated) {
    std::atomic<uint16_t> running{1};
    std::thread worker(DiskLoadWorker, DiskLoadParams{&running, dir / "missing" / "deeper", {}});
    worker.join();  // ends by itself
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

}  // namespace
