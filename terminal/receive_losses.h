#pragma once
// Frames the terminal lost on receipt. The port object drops a frame that comes with an error
// result, so without a count the user would never learn that text is missing: each loss is
// counted by its cause, shown in the status bar and marked in the log where it happened.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qorval::terminal {

class ReceiveLosses {
  public:
    // Counts the result of a read when it reports a frame lost on the line (CRC, parity or
    // line error; overrun or DMA frame buffer overflow) and returns the cause's name; nullopt
    // for success and for results that say the port itself failed, which are no receive loss.
    std::optional<std::string_view> Count(uint32_t result);
    void Reset() { *this = {}; }

    // "Receive errors: %u  Overruns: %u", for the status bar.
    std::string StatusText() const;
    // The line the log gets where a frame was lost.
    static std::string LogMarker(std::string_view cause);

  private:
    uint32_t receive_errors_ = 0;
    uint32_t overruns_ = 0;
};

}  // namespace qorval::terminal
