#pragma once
// Far ends for tests in virtual time. A FarEnd is run from the tick source: every time the
// engine under test reads the clock, the far end takes what the engine's port sent since the
// last call (through the other port of a fake pair) and may answer with bytes of its own. So a
// whole transfer runs on one thread, step by step, with no real time passing.

#include <cstdint>
#include <random>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "portaccess/qorval32.h"

namespace qorval::terminal::testing {

class FarEnd {
  public:
    virtual ~FarEnd() = default;
    // `received`: bytes from the engine since the last call (often none). Returns bytes to send.
    virtual std::vector<uint8_t> React(std::span<const uint8_t> received, uint32_t now_ms) = 0;
};

// Opens `port` of the fake library (paired with the engine's port by the test) and runs `far`
// from the tick source while it exists.
class FarEndHook {
  public:
    FarEndHook(FarEnd& far, uint16_t driver, uint16_t port);
    ~FarEndHook();
    FarEndHook(const FarEndHook&) = delete;
    FarEndHook& operator=(const FarEndHook&) = delete;
    void Step();
    // Damages bytes in both directions: each bit flips with this probability (seeded, so a
    // run is repeatable).
    void SetBitErrorRate(double per_bit, uint32_t seed);
    std::vector<uint8_t> heard;  // every byte the engine sent, as sent
    uint32_t damaged_bytes = 0;

  private:
    void Damage(std::vector<uint8_t>& bytes);
    FarEnd& far_;
    double byte_error_rate_ = 0;
    std::mt19937 random_;
    QORVAL_HANDLE handle_ = 0;
    bool busy_ = false;
};

// Independent CRC-16 (bit by bit) for the reference far ends.
uint16_t ReferenceCrc(std::span<const uint8_t> data);

// A receiver written from the published protocol, not from the engine.
struct ReferenceReceiver : FarEnd {
    enum class Mode { Checksum, Crc, Streaming };
    Mode mode = Mode::Crc;
    bool ymodem = false;
    std::set<int> corrupt_once;  // block numbers whose first arrival is taken as damaged
    int cancel_after = -1;       // CAN CAN after this many data blocks accepted
    bool nak_first_eot = false;

    // What arrived.
    std::vector<uint8_t> data;
    std::string name;
    std::string size_text;
    int blocks = 0;
    int naks_sent = 0;
    bool finished = false;  // EOT (XMODEM) or end of batch (YMODEM) acknowledged
    std::vector<size_t> block_sizes;

    std::vector<uint8_t> React(std::span<const uint8_t> received, uint32_t now_ms) override;

  private:
    uint8_t StartByte() const;
    std::vector<uint8_t> buffer_;
    int expected_ = -1;  // -1 before the first block
    bool started_ = false;
    uint32_t last_start_ms_ = 0;
    int starts_sent_ = 0;
    bool eot_seen_once_ = false;
    uint32_t partial_since_ms_ = 0;
};

// A sender written from the published protocol, not from the engine.
struct ReferenceSender : FarEnd {
    std::vector<uint8_t> file;
    bool ymodem = false;
    std::string name = "far.bin";
    size_t block_size = 128;
    std::set<int> corrupt_once;   // blocks sent damaged the first time
    std::set<int> lose_ack_once;  // blocks whose first ACK is ignored, as if lost on the line
    int cancel_at = -1;           // CAN CAN instead of this block
    bool stream_on_g = true;
    bool checksum_only = false;  // an old sender that answers only NAK

    bool finished = false;
    int resends = 0;
    std::vector<uint8_t> start_bytes;

    std::vector<uint8_t> React(std::span<const uint8_t> received, uint32_t now_ms) override;

  private:
    std::vector<uint8_t> Block(int number, bool damage);
    std::vector<uint8_t> Next(uint32_t now_ms);
    enum class State {
        WaitStart,
        WaitAck,
        WaitDataStart,
        WaitEotAck,
        WaitBatchStart,
        WaitEndAck,
        Done
    };
    State state_ = State::WaitStart;
    bool crc_ = true;
    bool streaming_ = false;
    int block_ = 0;  // the block last sent (0: header)
    size_t sent_upto_ = 0;
    int tries_ = 0;  // resends of the current block
    uint32_t sent_at_ms_ = 0;
    std::vector<uint8_t> last_;
};

}  // namespace qorval::terminal::testing
