#pragma once
// The driver's event codes and their message texts. 0x6007xxxx are informational,
// 0xE007xxxx errors. Entries carry the code; the texts here are what a log reader shows,
// with %1 standing for the entry's first insertion string.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace wyvel32 {

inline constexpr uint32_t EVENT_DRIVER_LOADED = 0x60070001;
inline constexpr uint32_t EVENT_DRIVER_INIT_OK = 0x60070002;
inline constexpr uint32_t EVENT_DRIVER_INIT_FAILED = 0xE0070003;
inline constexpr uint32_t EVENT_BAD_INTERFACE = 0xE0070005;
inline constexpr uint32_t EVENT_BAD_MEMORY = 0xE0070007;
inline constexpr uint32_t EVENT_BAD_BASEIO = 0xE0070008;
inline constexpr uint32_t EVENT_BAD_INTERRUPT = 0xE0070009;
inline constexpr uint32_t EVENT_PROGRAMME_FAILED = 0xE007000A;
inline constexpr uint32_t EVENT_RESET_FAILED = 0xE007000B;
inline constexpr uint32_t EVENT_BAD_VALUE = 0xE007000C;
inline constexpr uint32_t EVENT_BUFFERS_TOO_LARGE = 0xE007000D;
inline constexpr uint32_t EVENT_TOO_FEW_BUFFERS = 0xE007000E;
inline constexpr uint32_t EVENT_BOARD_ABSENT = 0xE007000F;
inline constexpr uint32_t EVENT_PORT_DISABLED = 0xE0070010;
inline constexpr uint32_t EVENT_NO_POOL = 0xE0070011;

// Insertion string of EVENT_NO_POOL.
inline constexpr std::string_view kPagedPool = "Paged pool";

// The message text of an event code, or an empty view for a code the driver does not log.
std::string_view EventMessageText(uint32_t event_code);

// The message with %1 replaced by the first insertion string (or left out when there is none).
std::string FormatEventMessage(uint32_t event_code, std::span<const std::string> strings);

}  // namespace wyvel32
