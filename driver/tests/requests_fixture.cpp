#include "driver/tests/requests_fixture.h"

#include <algorithm>
#include <cstdio>

#include "driver/device_names.h"
#include "driver/driver_entry.h"
#include "driver/hardware_access.h"

namespace wyvel32::testing {

using namespace qorval::kernel;

IoManager::Completion Pending::Callback() {
    return [this](NTSTATUS status, uint64_t information, std::span<const uint8_t> output) {
        std::lock_guard guard(m_lock);
        ++m_calls;
        m_result = {status, information, {output.begin(), output.end()}, true};
        m_done.notify_all();
    };
}

bool Pending::Done() const {
    std::lock_guard guard(m_lock);
    return m_result.done;
}

Result Pending::Get() const {
    std::lock_guard guard(m_lock);
    return m_result;
}

bool Pending::Wait() const {
    std::unique_lock lock(m_lock);
    return m_done.wait_for(lock, std::chrono::seconds(8), [this] { return m_result.done; });
}

int Pending::Calls() const {
    std::lock_guard guard(m_lock);
    return m_calls;
}

void RequestsFixture::SetUp() {
    for (auto& card : cards) {
        card = std::make_unique<qorval::sim::SimCard>();
    }
    kernel = std::make_unique<IoManager>();
    SetDriverPlatform(&registry, &events);
    ASSERT_EQ(kernel->LoadDriver("Wyvel32", DriverEntry, kServiceKeyPath), STATUS_SUCCESS);
}

void RequestsFixture::TearDown() {
    kernel.reset();  // removes every device while the cards still exist
    line.reset();
}

IoManager::DeviceId RequestsFixture::Announce(int index, bool with_interrupt) {
    const uint64_t step = static_cast<uint64_t>(index);
    PhysicalDeviceInfo info;
    info.BusNumber = 2;
    info.DeviceNumber = 4 + static_cast<uint32_t>(index);
    info.FunctionNumber = 0;
    info.Hardware = cards[index].get();
    ResourceList list{
        ResourceDescriptor::PortRange(0xD000 + 0x100 * step, 0x80),
        ResourceDescriptor::PortRange(0xE000 + 0x100 * step, 8),
        ResourceDescriptor::MemoryRange(0xF6000000 + 0x1000 * step, 0x80),
        ResourceDescriptor::MemoryRange(0xF7000000 + 0x1000 * step, 256),
        ResourceDescriptor::MemoryRange(0xF8000000 + 0x100000 * step, 0x4000),
    };
    ResourceList raw = list;
    if (with_interrupt) {
        list.push_back(ResourceDescriptor::Interrupt(11, Vector(index), 1));
        raw.push_back(ResourceDescriptor::Interrupt(11, 11, 0));
    }
    info.RawResources = raw;
    info.TranslatedResources = list;
    IoManager::DeviceId id = 0;
    EXPECT_EQ(kernel->AddPhysicalDevice(info, &id), STATUS_SUCCESS);
    announced.emplace_back(index, id);
    return id;
}

IoManager::DeviceId RequestsFixture::AddAndStart(int index) {
    const IoManager::DeviceId id = Announce(index);
    EXPECT_EQ(kernel->StartDevice(id), STATUS_SUCCESS);
    return id;
}

void RequestsFixture::WirePair() {
    line = qorval::sim::Line::Pair(*cards[0], *cards[1]);
}
void RequestsFixture::WireLoopback() {
    line = qorval::sim::Line::Loopback(*cards[0]);
}

NTSTATUS RequestsFixture::OpenPort(uint32_t number, bool synchronous, IoManager::Handle* handle) {
    return kernel->Open("\\\\.\\Wyvel32_00" + std::to_string(number),
                        synchronous ? FILE_SYNCHRONOUS_IO_NONALERT : 0, handle);
}

IoManager::Handle RequestsFixture::Open(uint32_t number, bool synchronous) {
    IoManager::Handle handle = 0;
    EXPECT_EQ(OpenPort(number, synchronous, &handle), STATUS_SUCCESS);
    return handle;
}

namespace {
Result Finish(const Pending& pending) {
    Result result = pending.Get();
    EXPECT_TRUE(result.done) << "request still pending";
    return result;
}
}  // namespace

Result RequestsFixture::Write(IoManager::Handle handle, const std::vector<uint8_t>& frame) {
    Pending pending;
    kernel->Write(handle, frame, pending.Callback());
    return Finish(pending);
}

Result RequestsFixture::Read(IoManager::Handle handle, uint32_t length) {
    Pending pending;
    kernel->Read(handle, length, pending.Callback());
    return Finish(pending);
}

Result RequestsFixture::Control(IoManager::Handle handle, uint32_t code,
                                const std::vector<uint8_t>& input, uint32_t output_length) {
    Pending pending;
    kernel->DeviceControl(handle, code, input, output_length, pending.Callback());
    return Finish(pending);
}

PortDevice* RequestsFixture::Device(uint32_t number) {
    std::shared_ptr<DeviceObject> device = kernel->FindDevice(DeviceNameFor(number));
    return device ? &PortOf(device.get()) : nullptr;
}

void RequestsFixture::Pump() {
    for (int step = 0; step < 100000; ++step) {
        // First every interrupt that is up: its service routine takes the lock itself.
        bool delivered = false;
        bool busy = false;
        uint64_t next = qorval::sim::SimCard::kNever;
        for (const auto& [index, id] : announced) {
            PortDevice* device = nullptr;
            if (DeviceObject* top = kernel->TopDevice(id);
                top != nullptr && top != kernel->PhysicalDevice(id)) {
                device = &PortOf(top);
            }
            bool asserted = false;
            if (device == nullptr || !WithInterruptLock(*device, [&] {
                    asserted = cards[index]->InterruptAsserted();
                    next = std::min(next, cards[index]->NextEventTime());
                    busy = busy || next != qorval::sim::SimCard::kNever;
                })) {
                continue;
            }
            if (asserted) {
                kernel->DeliverInterrupt(Vector(index));
                delivered = true;
            }
        }
        if (delivered) {
            continue;
        }
        if (!busy || !line) {
            return;
        }
        // Step the line holding the interrupt locks of the cards on it (in port order), as
        // the driver holds them while it touches a card.
        std::vector<KInterrupt*> locks;
        for (const auto& [index, id] : announced) {
            if (DeviceObject* top = kernel->TopDevice(id);
                top != nullptr && top != kernel->PhysicalDevice(id)) {
                if (KInterrupt* interrupt = PortOf(top).Interrupt) {
                    locks.push_back(interrupt);
                }
            }
        }
        for (KInterrupt* interrupt : locks) {
            interrupt->Acquire();
        }
        // One event at a time, so each interrupt is serviced before the card moves on.
        const uint64_t now = line->NowNanoseconds();
        line->Advance(next > now ? next - now : 1);
        for (auto it = locks.rbegin(); it != locks.rend(); ++it) {
            (*it)->Release();
        }
    }
    ADD_FAILURE() << "the cards never went idle";
}

std::vector<uint32_t> RequestsFixture::EventCodes() const {
    std::vector<uint32_t> codes;
    for (const auto& entry : events.Entries()) {
        codes.push_back(entry.error_code);
    }
    return codes;
}

void RequestsFixture::SetPortValue(uint32_t number, const std::string& name, uint32_t value) {
    char key[16];
    std::snprintf(key, sizeof key, "Port%03u", number);
    const std::string path = std::string(kServiceKeyPath) + "\\Parameters\\" + key;
    ASSERT_TRUE(registry.SetDword(path, name, value).ok());
}

std::vector<uint8_t> Frame(size_t length, uint8_t seed) {
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<uint8_t>(seed + i * 13);
    }
    return bytes;
}

}  // namespace wyvel32::testing
