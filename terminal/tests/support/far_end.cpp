#include "terminal/tests/support/far_end.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "portaccess/fake/fake_library.h"
#include "portaccess/tick_count.h"

namespace qorval::terminal::testing {
namespace {

constexpr uint8_t SOH = 0x01, STX = 0x02, EOT = 0x04, ACK = 0x06, NAK = 0x15, CAN = 0x18;
constexpr uint32_t kResendMs = 3000;
constexpr int kMaxResends = 10;

FarEndHook* g_hook = nullptr;

uint32_t VirtualNow() {
    return fake::FakeLibrary::Instance().NowMs();
}

uint32_t HookedTicks() {
    if (g_hook != nullptr) {
        g_hook->Step();
    }
    return VirtualNow();
}

}  // namespace

uint16_t ReferenceCrc(std::span<const uint8_t> data) {
    uint16_t crc = 0;
    for (uint8_t b : data) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool in = ((b >> bit) & 1) != 0;
            const bool top = (crc & 0x8000) != 0;
            crc = static_cast<uint16_t>(crc << 1);
            if (in != top) {
                crc ^= 0x1021;
            }
        }
    }
    return crc;
}

FarEndHook::FarEndHook(FarEnd& far, uint16_t driver, uint16_t port) : far_(far) {
    QORVAL_PortOpen(driver, port, &handle_);
    g_hook = this;
    SetTickSource(&HookedTicks);
}

FarEndHook::~FarEndHook() {
    SetTickSource(&VirtualNow);
    g_hook = nullptr;
    QORVAL_PortClose(handle_);
}

void FarEndHook::Step() {
    if (busy_) {
        return;
    }
    busy_ = true;
    std::vector<uint8_t> in;
    std::vector<uint8_t> frame(65535);
    for (;;) {
        uint32_t length = 0;
        const uint32_t r =
            QORVAL_GetData(handle_, frame.data(), static_cast<uint16_t>(frame.size()), &length);
        if (r != 0 || length == 0) {
            break;
        }
        in.insert(in.end(), frame.begin(), frame.begin() + length);
    }
    heard.insert(heard.end(), in.begin(), in.end());
    Damage(in);
    std::vector<uint8_t> out = far_.React(in, VirtualNow());
    Damage(out);
    for (size_t at = 0; at < out.size(); at += 1024) {
        const size_t n = std::min<size_t>(1024, out.size() - at);
        QORVAL_PutData(handle_, out.data() + at, static_cast<uint32_t>(n));
    }
    busy_ = false;
}

void FarEndHook::SetBitErrorRate(double per_bit, uint32_t seed) {
    byte_error_rate_ = 1.0 - std::pow(1.0 - per_bit, 8);
    random_.seed(seed);
}

void FarEndHook::Damage(std::vector<uint8_t>& bytes) {
    if (byte_error_rate_ <= 0) {
        return;
    }
    std::bernoulli_distribution hit(byte_error_rate_);
    std::uniform_int_distribution<int> bit(0, 7);
    for (uint8_t& b : bytes) {
        if (hit(random_)) {
            b = static_cast<uint8_t>(b ^ (1u << bit(random_)));
            ++damaged_bytes;
        }
    }
}

// ---- receiver ----

uint8_t ReferenceReceiver::StartByte() const {
    switch (mode) {
        case Mode::Checksum:
            return NAK;
        case Mode::Crc:
            return 'C';
        case Mode::Streaming:
            return 'G';
    }
    return 'C';
}

std::vector<uint8_t> ReferenceReceiver::React(std::span<const uint8_t> received, uint32_t now) {
    std::vector<uint8_t> out;
    if (expected_ < 0) {
        expected_ = ymodem ? 0 : 1;
    }
    const bool nothing_yet = blocks == 0 && name.empty() && buffer_.empty() && received.empty();
    if (!finished && nothing_yet && (!started_ || now - last_start_ms_ >= kResendMs) &&
        starts_sent_ < kMaxResends) {
        started_ = true;
        last_start_ms_ = now;
        ++starts_sent_;
        out.push_back(StartByte());
    }
    buffer_.insert(buffer_.end(), received.begin(), received.end());
    const size_t check = mode == Mode::Checksum ? 1 : 2;
    while (!buffer_.empty() && !finished) {
        const uint8_t first = buffer_[0];
        if (first == EOT) {
            buffer_.erase(buffer_.begin());
            if (nak_first_eot && !eot_seen_once_) {
                eot_seen_once_ = true;
                out.push_back(NAK);
                continue;
            }
            out.push_back(ACK);
            if (ymodem) {
                expected_ = 0;
                out.push_back(StartByte());
            } else {
                finished = true;
            }
            continue;
        }
        if (first != SOH && first != STX) {
            buffer_.erase(buffer_.begin());
            continue;
        }
        const size_t size = first == SOH ? 128 : 1024;
        const size_t need = 3 + size + check;
        if (buffer_.size() < need) {
            if (partial_since_ms_ == 0) {
                partial_since_ms_ = now;
            } else if (now - partial_since_ms_ > 1000) {
                buffer_.clear();
                partial_since_ms_ = 0;
                out.push_back(NAK);
                ++naks_sent;
            }
            break;
        }
        partial_since_ms_ = 0;
        std::vector<uint8_t> block(buffer_.begin(), buffer_.begin() + need);
        buffer_.erase(buffer_.begin(), buffer_.begin() + need);
        const uint8_t number = block[1];
        const std::span<const uint8_t> body(block.data() + 3, size);
        bool ok = block[2] == static_cast<uint8_t>(255 - number);
        if (mode == Mode::Checksum) {
            uint8_t sum = 0;
            for (uint8_t b : body) {
                sum = static_cast<uint8_t>(sum + b);
            }
            ok = ok && sum == block[3 + size];
        } else {
            const uint16_t crc = ReferenceCrc(body);
            ok = ok && block[3 + size] == (crc >> 8) && block[4 + size] == (crc & 0xFF);
        }
        const int logical = expected_ == 0 ? 0 : blocks + 1;
        if (ok && number == static_cast<uint8_t>(expected_) && corrupt_once.erase(logical) > 0) {
            ok = false;
        }
        if (!ok) {
            out.push_back(NAK);
            ++naks_sent;
            continue;
        }
        const bool stream = mode == Mode::Streaming;
        if (expected_ == 0 && number == 0) {
            const auto zero = std::find(body.begin(), body.end(), uint8_t{0});
            const std::string sent(body.begin(), zero);
            if (!stream) {
                out.push_back(ACK);
            }
            if (sent.empty()) {
                finished = true;
                break;
            }
            name = sent;
            size_text.assign(zero + 1, std::find(zero + 1, body.end(), uint8_t{0}));
            expected_ = 1;
            out.push_back(StartByte());
        } else if (number == static_cast<uint8_t>(expected_)) {
            data.insert(data.end(), body.begin(), body.end());
            block_sizes.push_back(size);
            ++blocks;
            ++expected_;
            if (!stream) {
                out.push_back(ACK);
            }
            if (blocks == cancel_after) {
                out.push_back(CAN);
                out.push_back(CAN);
                finished = true;
            }
        } else if (number == static_cast<uint8_t>(expected_ - 1)) {
            out.push_back(ACK);  // a repeat: our ACK was lost
        } else {
            out.push_back(NAK);
            ++naks_sent;
        }
    }
    return out;
}

// ---- sender ----

std::vector<uint8_t> ReferenceSender::Block(int number, bool damage) {
    std::vector<uint8_t> body;
    if (number == 0) {
        body.assign(128, 0);
        const std::string text =
            name + std::string(1, '\0') + (name.empty() ? "" : std::to_string(file.size()));
        std::copy(text.begin(), text.end(), body.begin());
    } else {
        const size_t remaining = file.size() - sent_upto_;
        const size_t size = block_size == 1024 && remaining >= 1024 ? 1024 : 128;
        const size_t take = std::min(size, remaining);
        body.assign(file.begin() + sent_upto_, file.begin() + sent_upto_ + take);
        body.resize(size, 0x1A);
        sent_upto_ += take;
    }
    std::vector<uint8_t> block{body.size() == 1024 ? STX : SOH, static_cast<uint8_t>(number),
                               static_cast<uint8_t>(255 - static_cast<uint8_t>(number))};
    block.insert(block.end(), body.begin(), body.end());
    if (crc_) {
        const uint16_t crc = ReferenceCrc(body);
        block.push_back(static_cast<uint8_t>(crc >> 8));
        block.push_back(static_cast<uint8_t>(crc & 0xFF));
    } else {
        uint8_t sum = 0;
        for (uint8_t b : body) {
            sum = static_cast<uint8_t>(sum + b);
        }
        block.push_back(sum);
    }
    last_ = block;
    if (damage) {
        block[3 + body.size() / 2] ^= 0x10;
    }
    return block;
}

// The next block after block_ was acknowledged, or EOT.
std::vector<uint8_t> ReferenceSender::Next(uint32_t now) {
    sent_at_ms_ = now;
    tries_ = 0;
    if (sent_upto_ >= file.size()) {
        state_ = State::WaitEotAck;
        last_ = {EOT};
        return last_;
    }
    ++block_;
    if (block_ == cancel_at) {
        state_ = State::Done;
        finished = true;
        return {CAN, CAN};
    }
    state_ = State::WaitAck;
    return Block(block_, corrupt_once.erase(block_) > 0);
}

std::vector<uint8_t> ReferenceSender::React(std::span<const uint8_t> received, uint32_t now) {
    std::vector<uint8_t> out;
    auto send = [&](const std::vector<uint8_t>& bytes) {
        out.insert(out.end(), bytes.begin(), bytes.end());
        sent_at_ms_ = now;
    };
    auto stream_rest = [&] {
        do {
            send(Next(now));
        } while (state_ == State::WaitAck);
    };
    for (uint8_t b : received) {
        switch (state_) {
            case State::WaitStart:
                if (b == NAK || (!checksum_only && (b == 'C' || b == 'G'))) {
                    start_bytes.push_back(b);
                    crc_ = b != NAK;
                    streaming_ = b == 'G' && stream_on_g;
                    block_ = 0;
                    if (ymodem) {
                        state_ = streaming_ ? State::WaitDataStart : State::WaitAck;
                        send(Block(0, false));
                    } else if (streaming_) {
                        stream_rest();
                    } else {
                        send(Next(now));
                    }
                }
                break;
            case State::WaitAck:
                if (b == ACK) {
                    if (lose_ack_once.erase(block_) > 0) {
                        break;
                    }
                    if (block_ == 0) {
                        state_ = State::WaitDataStart;
                    } else {
                        send(Next(now));
                    }
                } else if (b == NAK) {
                    ++resends;
                    send(last_);
                }
                break;
            case State::WaitDataStart:
                if (b == 'C' || b == 'G') {
                    if (streaming_) {
                        stream_rest();
                    } else {
                        send(Next(now));
                    }
                }
                break;
            case State::WaitEotAck:
                if (b == ACK) {
                    state_ = ymodem ? State::WaitBatchStart : State::Done;
                    finished = !ymodem;
                } else if (b == NAK) {
                    send(last_);
                }
                break;
            case State::WaitBatchStart:
                if (b == 'C' || b == 'G' || b == NAK) {
                    const std::string keep = name;
                    name.clear();
                    send(Block(0, false));
                    name = keep;
                    state_ = State::WaitEndAck;
                    if (streaming_) {
                        state_ = State::Done;
                        finished = true;
                    }
                }
                break;
            case State::WaitEndAck:
                if (b == ACK) {
                    state_ = State::Done;
                    finished = true;
                }
                break;
            case State::Done:
                break;
        }
    }
    const bool waiting =
        state_ == State::WaitAck || state_ == State::WaitEotAck || state_ == State::WaitEndAck;
    if (waiting && out.empty() && now - sent_at_ms_ >= kResendMs && tries_ < kMaxResends) {
        ++resends;
        ++tries_;
        send(last_);
    }
    return out;
}

}  // namespace qorval::terminal::testing
