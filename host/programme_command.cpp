#include "host/programme_command.h"

#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/channel_programme.h"
#include "driver/config_sequence.h"
#include "driver/events.h"
#include "driver/log_event.h"
#include "platform/event_log.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "sim/sim_card.h"

namespace wyvel32::host {

namespace {

constexpr std::string_view kUsage = "usage: wyvel32 programme N   (N: port number, 1 to 32)";
constexpr uint32_t kMaxPorts = 32;

// Simulated Plug and Play resources of port N: the card in PCI slot N, function 0.
constexpr uint64_t kBaseIOFirst = 0xE000;
constexpr uint64_t kBaseIOStep = 0x100;
constexpr uint64_t kMemoryFirst = 0xF8000000;
constexpr uint64_t kIuscFirst = 0xF7000000;
constexpr uint64_t kWindowStep = 0x10000;
constexpr uint32_t kInterruptLevel = 11;

// Passes every entry on to the event log file and remembers its code for the summary.
class CountingEventLog final : public qorval::platform::EventLogSink {
  public:
    explicit CountingEventLog(qorval::platform::EventLogSink& next) : next_(next) {}
    void Write(const qorval::platform::EventLogEntry& entry) override {
        logged_.push_back(entry);
        next_.Write(entry);
    }
    const std::vector<qorval::platform::EventLogEntry>& Logged() const { return logged_; }

  private:
    qorval::platform::EventLogSink& next_;
    std::vector<qorval::platform::EventLogEntry> logged_;
};

// The simulated card stands in for the mapped windows of the port.
class SimWindowMapper final : public WindowMapper {
  public:
    explicit SimWindowMapper(qorval::sim::SimCard& card) : card_(card) {}
    Hardware* MapWindows(const PortConfig&) override { return &card_; }

  private:
    qorval::sim::SimCard& card_;
};

bool ParsePortNumber(std::string_view text, uint8_t& port) {
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > kMaxPorts) {
        return false;
    }
    port = static_cast<uint8_t>(value);
    return true;
}

PortConfig SimulatedResources(uint8_t port) {
    PortConfig config;
    config.PortNumber = port;
    config.BaseIO = kBaseIOFirst + kBaseIOStep * (port - 1u);
    config.Memory = kMemoryFirst + kWindowStep * (port - 1u);
    config.IUSC = kIuscFirst + kWindowStep * (port - 1u);
    config.Interrupt = kInterruptLevel;
    config.InterruptVectorLevel = kInterruptLevel;
    config.InterruptMode = kInterruptModeLevel;
    config.ShareVector = 1;
    config.BusNum = 0;
    config.PCIDevice = port;
    config.PCIFunction = 0;
    return config;
}

std::string Hex32(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

int Fail(std::ostream& err, std::string_view what, NTSTATUS status,
         const CountingEventLog& events) {
    err << "wyvel32: " << what << " failed, status " << Hex32(status) << "\n";
    for (const auto& entry : events.Logged()) {
        err << "event " << Hex32(entry.error_code) << " "
            << FormatEventMessage(entry.error_code, entry.strings) << "\n";
    }
    return 1;
}

}  // namespace

int RunProgrammeCommand(std::span<const std::string_view> args, std::ostream& out,
                        std::ostream& err) {
    uint8_t port_number = 0;
    if (args.size() != 1 || !ParsePortNumber(args[0], port_number)) {
        err << kUsage << "\n";
        return 2;
    }
    std::string error;
    if (!qorval::platform::EnsureDirectory(qorval::platform::LogDir(), &error)) {
        err << "wyvel32: " << error << "\n";
        return 1;
    }
    qorval::platform::Registry registry(qorval::platform::RegistryFile());
    qorval::platform::FileEventLog file_log(qorval::platform::LogDir());
    CountingEventLog events(file_log);

    DriverContext driver;
    driver.registry = &registry;
    driver.event_log = &events;
    driver.event_log_level = ReadEventLogLevel(registry, driver.service_key);

    qorval::sim::SimCard card;
    SimWindowMapper mapper(card);
    MutexInterruptSync sync;
    PortContext port;
    port.driver = &driver;
    port.interrupt_sync = &sync;

    PortConfig config = SimulatedResources(port_number);
    NTSTATUS status = RunStartConfiguration(port, config, mapper);
    if (!NT_SUCCESS(status)) {
        return Fail(err, "configuration of the port", status, events);
    }
    card.EnableTrace(true);
    status = StartTimeBoardCheck(port);
    for (const auto& access : card.Trace()) {
        out << qorval::sim::FormatAccess(access) << "\n";
    }
    if (!NT_SUCCESS(status)) {
        return Fail(err, "board check", status, events);
    }
    return 0;
}

}  // namespace wyvel32::host
