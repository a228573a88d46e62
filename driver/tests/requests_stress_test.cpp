// Many threads at once on the driver: a writer and a reader on a paired line, control
// requests, cancels, clients that die while holding a port, and Plug and Play and power
// transitions. Every request must complete exactly once, nothing may deadlock, and every
// frame written must arrive once, in order.

#include <atomic>
#include <deque>
#include <thread>

#include "driver/hardware_access.h"
#include "driver/ioctl_codes.h"
#include "driver/tests/requests_fixture.h"

namespace wyvel32::testing {
namespace {

using namespace qorval::kernel;

constexpr uint32_t kFrames = 1500;
constexpr uint32_t kInFlight = 40;  // below the 100 receive buffers: nothing is lost on the line

// Requests whose completions are checked at the end.
class Ledger {
  public:
    Pending& Add() {
        std::lock_guard guard(m_lock);
        return m_items.emplace_back();
    }
    void CheckEachCompletedOnce() {
        std::lock_guard guard(m_lock);
        for (const Pending& pending : m_items) {
            EXPECT_EQ(pending.Calls(), 1);
        }
    }

  private:
    std::mutex m_lock;
    std::deque<Pending> m_items;
};

uint32_t SequenceOf(const std::vector<uint8_t>& frame) {
    return frame[0] | (frame[1] << 8) | (frame[2] << 16) | (frame[3] << 24);
}

class RequestStress : public RequestsFixture {
  protected:
    void SetUp() override {
        RequestsFixture::SetUp();
        pair = {AddAndStart(0), AddAndStart(1)};
        loner = AddAndStart(2);
        WirePair();
    }

    // Steps the paired cards one event, holding both interrupt locks, and delivers the
    // interrupts they raise. False when neither had anything to do.
    bool StepPair() {
        PortDevice& a = *Device(1);
        PortDevice& b = *Device(2);
        bool asserted[2] = {false, false};
        bool stepped = false;
        WithInterruptLock(a, [&] {
            WithInterruptLock(b, [&] {
                asserted[0] = cards[0]->InterruptAsserted();
                asserted[1] = cards[1]->InterruptAsserted();
                const uint64_t next =
                    std::min(cards[0]->NextEventTime(), cards[1]->NextEventTime());
                if (!asserted[0] && !asserted[1] && next != qorval::sim::SimCard::kNever) {
                    const uint64_t now = line->NowNanoseconds();
                    line->Advance(next > now ? next - now : 1);
                    stepped = true;
                }
            });
        });
        for (int i = 0; i < 2; ++i) {
            if (asserted[i]) {
                kernel->DeliverInterrupt(Vector(i));
            }
        }
        return stepped || asserted[0] || asserted[1];
    }

    std::pair<IoManager::DeviceId, IoManager::DeviceId> pair;
    IoManager::DeviceId loner = 0;
    Ledger ledger;
    std::atomic<bool> stop{false};
    std::atomic<uint32_t> written{0};
    std::atomic<uint32_t> received{0};
};

TEST_F(RequestStress, EveryRequestCompletesOnceAndEveryFrameArrivesOnceInOrder) {
    const IoManager::Handle sender = Open(1);
    const IoManager::Handle receiver = Open(2, false);

    std::thread pump([&] {
        while (!stop.load()) {
            if (!StepPair()) {
                std::this_thread::yield();
            }
        }
    });

    std::thread writer([&] {
        while (written.load() < kFrames && !stop.load()) {
            if (written.load() - received.load() >= kInFlight) {
                std::this_thread::yield();
                continue;
            }
            std::vector<uint8_t> frame = Frame(8 + written.load() % 200, 0);
            const uint32_t seq = written.load();
            for (int i = 0; i < 4; ++i) {
                frame[i] = static_cast<uint8_t>(seq >> (8 * i));
            }
            Pending& write = ledger.Add();
            kernel->Write(sender, frame, write.Callback());
            ASSERT_TRUE(write.Wait());
            if (write.Get().status == STATUS_SUCCESS) {
                written.fetch_add(1);
            } else {
                ASSERT_EQ(write.Get().status, STATUS_DEVICE_BUSY);
            }
        }
    });

    std::thread reader([&] {
        // However the reader ends, the others stop with it.
        struct StopOnExit {
            std::atomic<bool>& stop;
            ~StopOnExit() { stop.store(true); }
        } stopOnExit{stop};
        uint32_t expected = 0;
        uint32_t round = 0;
        while (expected < kFrames && !stop.load()) {
            Pending& first = ledger.Add();
            Pending& second = ledger.Add();
            const auto id = kernel->Read(receiver, 4096, first.Callback());
            kernel->Read(receiver, 4096, second.Callback());
            if (++round % 5 == 0) {
                kernel->CancelRequest(receiver, id);  // the frame stays for the next read
            }
            for (Pending* read : {&first, &second}) {
                if (!read->Wait()) {
                    for (uint32_t n : {1u, 2u}) {
                        PortDevice& d = *Device(n);
                        ADD_FAILURE()
                            << "port " << n << " waiting " << d.port.RxFramesWaiting.load()
                            << " queued " << d.port.TxFramesQueued.load() << " flags "
                            << d.port.PortFlags << " state " << int(d.State.load()) << " gate "
                            << int(d.Gate.load()) << " held " << d.HoldList.Size() << " count "
                            << d.OutstandingIo.load() << " current " << d.CurrentRead << " serving "
                            << d.ReadServing << " power " << int(d.DevicePower.load()) << " busy "
                            << d.ReadQueue.Busy() << " written " << written.load() << " expected "
                            << expected;
                    }
                    stop.store(true);
                    return;
                }
                const Result r = read->Get();
                if (r.status == STATUS_CANCELLED) {
                    continue;
                }
                ASSERT_EQ(r.status, STATUS_SUCCESS);
                ASSERT_GE(r.output.size(), 4u);
                ASSERT_EQ(SequenceOf(r.output), expected) << "lost or duplicated frame";
                ++expected;
                received.store(expected);
                if (expected == kFrames) {
                    kernel->CancelIo(receiver);  // the other read would wait for ever
                }
            }
        }
    });

    std::thread controls([&] {
        const uint32_t codes[] = {IOCTL_GET_BUFFER_COUNT, IOCTL_GET_PORT_STATE,
                                  IOCTL_GET_MODEM_CONTROL, IOCTL_GET_PORT_INFO};
        const uint32_t lengths[] = {4, 84, 2, 68};
        for (uint32_t i = 0; !stop.load(); ++i) {
            Pending& control = ledger.Add();
            kernel->DeviceControl(i % 2 ? sender : receiver, codes[i % 4], {}, lengths[i % 4],
                                  control.Callback());
            ASSERT_TRUE(control.Wait());
        }
    });

    std::thread plugAndPlay([&] {
        for (uint32_t i = 0; !stop.load(); ++i) {
            const IoManager::DeviceId id = i % 2 ? pair.second : pair.first;
            switch (i % 3) {
                case 0:
                    ASSERT_EQ(kernel->QueryStopDevice(id), STATUS_SUCCESS);
                    ASSERT_EQ(kernel->CancelStopDevice(id), STATUS_SUCCESS);
                    break;
                case 1:
                    ASSERT_EQ(kernel->QueryRemoveDevice(id), STATUS_SUCCESS);
                    ASSERT_EQ(kernel->CancelRemoveDevice(id), STATUS_SUCCESS);
                    break;
                default:
                    ASSERT_EQ(kernel->SendDevicePower(id, IRP_MN_SET_POWER, DevicePowerState::D3),
                              STATUS_SUCCESS);
                    ASSERT_EQ(kernel->SendDevicePower(id, IRP_MN_SET_POWER, DevicePowerState::D0),
                              STATUS_SUCCESS);
                    break;
            }
            // The lone port is stopped and started under its clients' feet.
            if (i % 4 == 3) {
                ASSERT_EQ(kernel->QueryStopDevice(loner), STATUS_SUCCESS);
                ASSERT_EQ(kernel->StopDevice(loner), STATUS_SUCCESS);
                ASSERT_EQ(kernel->StartDevice(loner), STATUS_SUCCESS);
            }
        }
    });

    // Clients of the lone port that die with requests outstanding, or close politely.
    std::thread clients([&] {
        for (uint32_t i = 0; !stop.load(); ++i) {
            IoManager::Handle handle = 0;
            if (OpenPort(3, i % 2 == 0, &handle) != STATUS_SUCCESS) {
                std::this_thread::yield();  // stopped just now: the link is gone
                continue;
            }
            for (int r = 0; r < 3; ++r) {
                kernel->Read(handle, 512, ledger.Add().Callback());
                kernel->Write(handle, Frame(16, static_cast<uint8_t>(r)), ledger.Add().Callback());
                kernel->DeviceControl(handle, IOCTL_GET_BUFFER_COUNT, {}, 4,
                                      ledger.Add().Callback());
            }
            if (i % 3 == 0) {
                kernel->CancelIo(handle);  // the client died
            }
            ASSERT_EQ(kernel->CloseHandle(handle), STATUS_SUCCESS);
        }
    });

    reader.join();
    writer.join();
    stop.store(true);
    for (std::thread* thread : {&pump, &controls, &plugAndPlay, &clients}) {
        thread->join();
    }
    EXPECT_EQ(received.load(), kFrames);
    kernel->CancelIo(receiver);
    kernel->CloseHandle(receiver);
    kernel->CloseHandle(sender);
    ledger.CheckEachCompletedOnce();
}

}  // namespace
}  // namespace wyvel32::testing
