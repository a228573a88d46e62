#include "driver/events.h"

namespace wyvel32 {

namespace {

struct EventText {
    uint32_t code;
    std::string_view text;
};

constexpr EventText kEventTexts[] = {
    {EVENT_DRIVER_LOADED, "Wyvel32 driver loaded; event logging level 2."},
    {EVENT_DRIVER_INIT_OK, "Wyvel32 driver initialised."},
    {EVENT_DRIVER_INIT_FAILED, "Wyvel32 driver initialisation failed."},
    {EVENT_BAD_INTERFACE, "Interface %1 is not a supported line interface."},
    {EVENT_BAD_MEMORY, "Memory window address %1 is not valid for this card."},
    {EVENT_BAD_BASEIO, "I/O base address %1 is not valid for this card."},
    {EVENT_BAD_INTERRUPT, "Interrupt level %1 is not valid or cannot be selected on the board."},
    {EVENT_PROGRAMME_FAILED, "Channel programming failed a register check; board at I/O %1."},
    {EVENT_RESET_FAILED, "Board reset did not complete; board at I/O %1."},
    {EVENT_BAD_VALUE, "Registry value %1 is out of range."},
    {EVENT_BUFFERS_TOO_LARGE, "The configured buffers do not fit in the card memory."},
    {EVENT_TOO_FEW_BUFFERS, "At least two receive and two transmit buffers are required."},
    {EVENT_BOARD_ABSENT, "No board answers at I/O %1."},
    {EVENT_PORT_DISABLED, "The port is marked disabled in the registry; it is started anyway."},
    {EVENT_NO_POOL, "Out of %1 while building the registry key path."},
};

}  // namespace

std::string_view EventMessageText(uint32_t event_code) {
    for (const EventText& entry : kEventTexts) {
        if (entry.code == event_code) {
            return entry.text;
        }
    }
    return {};
}

std::string FormatEventMessage(uint32_t event_code, std::span<const std::string> strings) {
    std::string_view text = EventMessageText(event_code);
    std::string out;
    const std::string_view placeholder = "%1";
    const size_t at = text.find(placeholder);
    if (at == std::string_view::npos) {
        return std::string(text);
    }
    out.append(text.substr(0, at));
    if (!strings.empty()) {
        out.append(strings.front());
    }
    out.append(text.substr(at + placeholder.size()));
    return out;
}

}  // namespace wyvel32
