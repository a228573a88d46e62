#include "terminal/xmodem_sender.h"

#include <algorithm>

#include "portaccess/qorval_port.h"
#include "terminal/xmodem_block.h"

namespace qorval::terminal {
namespace {

constexpr const char* kStatusTransmitting = "Transmitting file...";
constexpr const char* kNoStart = "Timed out waiting for receiver to initiate transfer.";
constexpr const char* kNoHeaderAck = "Timed out waiting for receiver to acknoledge header block.";
constexpr const char* kCancelledByReceiver = "Transfer cancelled by receiver.";
constexpr const char* kNoBlockAck = "Timed out waiting for receiver to acknowledge block.";
constexpr const char* kBytesSent = "%llu of %llu bytes sent";
constexpr const char* kNoEotAck = "Timed out waiting for receiver to acknowledge EOT.";
constexpr const char* kStatusSent = "File successfully transmitted";
constexpr const char* kNoEndOfBatchAck = "Timed out waiting for receiver to acknowledge EOT block.";
constexpr const char* kAllSent = "File(s) successfully transmitted.";

constexpr uint32_t kStartSeconds = 12;
constexpr uint32_t kResponseSeconds = 1;
constexpr int kBlockTries = 5;
// From this failed try on, the transmit buffers are reset before the block goes again.
constexpr int kResetFromTry = 3;
// One-second answer windows for EOT. Receivers commonly NAK the first EOT to make sure it was
// no line noise, so EOT goes again within these.
constexpr int kEotWindows = 6;

}  // namespace

Step XmodemSender::WaitForStart(uint8_t& start) {
    const uint32_t begin = NowMs();
    IdleWait idle;
    while (ElapsedSeconds(begin) < kStartSeconds) {
        uint8_t b = 0;
        if (Arrived(port_, ui_) && port_.GetByte(b, 0) == 0) {
            if (b == kNak || b == kStartCrc || b == kStartG) {
                start = b;
                return Step::Acknowledged;
            }
            continue;
        }
        ui_.Dispatch();
        if (ui_.Cancelled()) {
            return Step::RemoteCancelled;
        }
        idle();
    }
    return Step::Timeout;
}

Step XmodemSender::WaitForResponse() {
    const uint32_t begin = NowMs();
    IdleWait idle;
    bool last_was_can = false;
    while (ElapsedSeconds(begin) < kResponseSeconds) {
        uint8_t b = 0;
        if (!Arrived(port_, ui_) || port_.GetByte(b, 0) != 0) {
            ui_.Dispatch();
            if (ui_.Cancelled()) {
                break;  // the caller looks at the flag next
            }
            idle();
            continue;
        }
        if (b == kAck) {
            return Step::Acknowledged;
        }
        if (b == kNak) {
            return Step::Nak;
        }
        if (b == kCan && last_was_can) {
            return Step::RemoteCancelled;
        }
        last_was_can = b == kCan;
    }
    return Step::Timeout;
}

Step XmodemSender::SendDataBlock(uint8_t number) {
    const uint64_t remaining = file_->Size() - position_;
    const size_t size = DataBlockSize(protocol_, remaining);
    const size_t take = static_cast<size_t>(std::min<uint64_t>(remaining, size));
    if (!file_->ReadExact(data_.data(), take)) {
        return Step::FileReadError;
    }
    const size_t length = BuildBlock(frame_, number, {data_.data(), take}, size, crc_, 0xFF);
    for (int attempt = 1; attempt <= kBlockTries; ++attempt) {
        const uint32_t put = PutBytes(port_, ui_, frame_.data(), static_cast<uint32_t>(length));
        if (protocol_ == Protocol::YmodemG) {
            // Nothing is acknowledged in streaming mode, so a block that did not reach the
            // line is a failure here and now, not a silent gap in the file.
            if (put != 0) {
                return Step::Timeout;
            }
            position_ += take;
            return Step::Acknowledged;
        }
        const Step response = WaitForResponse();
        if (response == Step::Acknowledged) {
            position_ += take;
            return response;
        }
        if (response == Step::RemoteCancelled) {
            return response;
        }
        if (attempt >= kResetFromTry) {
            QORVAL_ResetBuffers(port_.GetHandle(), QORVAL_RESET_TRANSMIT);
        }
        ui_.Dispatch();
        if (ui_.Cancelled()) {
            return Step::UserCancelled;
        }
    }
    return Step::Timeout;
}

Step XmodemSender::SendHeader(const HeaderBlock& header) {
    for (int attempt = 1; attempt <= kBlockTries; ++attempt) {
        uint32_t put = PutByte(port_, ui_, kSoh);
        put |= PutByte(port_, ui_, 0);
        put |= PutByte(port_, ui_, 255);
        put |= PutBytes(port_, ui_, header.data(), static_cast<uint32_t>(header.size()));
        if (crc_) {
            const uint16_t c = Crc16(header);
            put |= PutByte(port_, ui_, static_cast<uint8_t>(c >> 8));
            put |= PutByte(port_, ui_, static_cast<uint8_t>(c & 0xFF));
        } else {
            put |= PutByte(port_, ui_, Checksum(header));
        }
        if (protocol_ == Protocol::YmodemG) {
            return put == 0 ? Step::Acknowledged : Step::Timeout;
        }
        const Step response = WaitForResponse();
        if (response == Step::Acknowledged || response == Step::RemoteCancelled) {
            return response;
        }
        if (ui_.Cancelled()) {
            return Step::UserCancelled;
        }
    }
    return Step::Timeout;
}

Step XmodemSender::SendEndOfFile() {
    PutByte(port_, ui_, kEot);
    int silent = 0;
    for (int window = 1; window <= kEotWindows; ++window) {
        const Step response = WaitForResponse();
        if (response == Step::Acknowledged || response == Step::RemoteCancelled) {
            return response;
        }
        // A NAK asks for the EOT again at once. Silence may be a receiver that is draining
        // the line after taking the EOT for noise: it answers once the line has been quiet,
        // so the EOT goes again only after two silent seconds.
        silent = response == Step::Nak ? 0 : silent + 1;
        if (response == Step::Nak || silent == 2) {
            silent = 0;
            PutByte(port_, ui_, kEot);
        }
        if (ui_.Cancelled()) {
            break;
        }
    }
    return Step::Timeout;
}

TransferOutcome XmodemSender::EndCancelled() {
    SendCancelBytes(port_, ui_);
    file_->Close();
    return TransferOutcome::Cancelled;
}

TransferOutcome XmodemSender::Fail(std::string_view message) {
    file_->Close();
    ui::ShowError(ui_.messages, message, kCaption);
    return TransferOutcome::Failed;
}

TransferOutcome XmodemSender::Run(LockedFile& file, std::string_view name) {
    file_ = &file;
    position_ = 0;
    const uint64_t length = file.Size();
    ui_.messages.ShowStatus(kStatusTransmitting);

    uint8_t start = 0;
    const Step started = WaitForStart(start);
    if (started == Step::Timeout) {
        return Fail(kNoStart);
    }
    if (started != Step::Acknowledged) {
        file.Close();
        return TransferOutcome::Cancelled;
    }
    crc_ = start != kNak;
    if (start == kStartCrc && protocol_ == Protocol::YmodemG) {
        protocol_ = Protocol::Ymodem;
    }

    if (IsYmodem(protocol_)) {
        const Step header = SendHeader(BuildYmodemHeader(name, length));
        if (header == Step::Timeout) {
            return Fail(kNoHeaderAck);
        }
        if (header == Step::RemoteCancelled) {
            return Fail(kCancelledByReceiver);
        }
    }

    uint8_t number = 1;
    while (position_ < length) {
        ui_.Dispatch();
        if (ui_.Cancelled()) {
            break;
        }
        const Step sent = SendDataBlock(number);
        if (sent == Step::UserCancelled) {
            break;
        }
        switch (sent) {
            case Step::Timeout:
                return Fail(kNoBlockAck);
            case Step::FileReadError:
                return Fail(kFileReadFailed);
            case Step::RemoteCancelled:
                return Fail(kCancelledByReceiver);
            default:
                break;
        }
        ui_.progress.SetPercent(static_cast<int>(position_ * 100 / length));
        ui_.progress.SetText(Format(kBytesSent, static_cast<unsigned long long>(position_),
                                    static_cast<unsigned long long>(length)));
        ++number;
    }
    if (ui_.Cancelled()) {
        return EndCancelled();
    }

    const Step eot = SendEndOfFile();
    if (ui_.Cancelled()) {
        return EndCancelled();
    }
    if (eot == Step::RemoteCancelled) {
        return Fail(kCancelledByReceiver);
    }
    if (eot != Step::Acknowledged) {
        return Fail(kNoEotAck);
    }
    ui_.messages.ShowStatus(kStatusSent);
    file.Close();

    if (IsYmodem(protocol_)) {
        // The receiver asks for the next header with its start byte, as before the first file;
        // sending the end of the batch before that would land in its purge of the line.
        const Step next = WaitForStart(start);
        if (next == Step::RemoteCancelled) {
            return TransferOutcome::Cancelled;
        }
        const Step end =
            next == Step::Timeout ? Step::Timeout : SendHeader(BuildEndOfBatchHeader());
        if (end == Step::UserCancelled) {
            return TransferOutcome::Cancelled;
        }
        if (end == Step::Timeout) {
            return Fail(kNoEndOfBatchAck);
        }
        if (end == Step::RemoteCancelled) {
            return Fail(kCancelledByReceiver);
        }
    }
    ui::ShowInformation(ui_.messages, kAllSent, kCaption);
    return TransferOutcome::Succeeded;
}

}  // namespace qorval::terminal
