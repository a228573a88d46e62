#include "terminal/xmodem_receiver.h"

#include "portaccess/qorval_port.h"
#include "terminal/xmodem_block.h"

namespace qorval::terminal {
namespace {

constexpr const char* kStatusReceiving = "Receiving file...";
constexpr const char* kNoSender = "Timed out waiting for transmitter to send file.";
constexpr const char* kCancelledByTransmitter = "Transfer cancelled by transmitter.";
constexpr const char* kNoHeader = "Timed out waiting for header block.";
constexpr const char* kBatchDone = "Done receiving files.";
constexpr const char* kBadName = "Refusing the file name \"%s\" sent by the transmitter.";
constexpr const char* kWriteFailed = "Error writing to file.";
constexpr const char* kBlockReceived = "Block #%d received";
constexpr const char* kBlockTimeout = "Timeout getting block.";
constexpr const char* kStatusFinished = "Finished receiving file";
constexpr const char* kFinished = "Finished receiving file.";
constexpr const char* kBytesReceived = "%llu of %llu bytes received";
constexpr const char* kBytesWritten = "%llu bytes received";

constexpr uint32_t kQuietLimitSeconds = 12;
constexpr int kStartTries = 10;
// From this try on an XMODEM receiver falls back to NAK and checksums.
constexpr int kChecksumFromTry = 4;
constexpr uint32_t kAnswerSeconds = 1;
constexpr uint32_t kByteSeconds = 1;
constexpr uint32_t kErrorPurgeSeconds = 5;
constexpr int kBlockAttempts = 5;

}  // namespace

Step XmodemReceiver::Start() {
    crc_ = true;
    uint8_t start = protocol_ == Protocol::YmodemG ? kStartG : kStartCrc;
    if (PurgeLine(port_, ui_, kQuietLimitSeconds) != 0) {
        return Step::Timeout;
    }
    if (ui_.Cancelled()) {
        return Step::RemoteCancelled;
    }
    for (int attempt = 1; attempt <= kStartTries; ++attempt) {
        if (protocol_ == Protocol::Xmodem && attempt >= kChecksumFromTry) {
            start = kNak;
            crc_ = false;
        }
        PutByte(port_, ui_, start);
        const uint32_t begin = NowMs();
        IdleWait idle;
        while (ElapsedSeconds(begin) <= kAnswerSeconds) {
            if (Arrived(port_, ui_)) {
                return Step::Acknowledged;
            }
            ui_.Dispatch();
            if (ui_.Cancelled()) {
                return Step::RemoteCancelled;
            }
            idle();
        }
        ui_.Dispatch();
        if (ui_.Cancelled()) {
            return Step::RemoteCancelled;
        }
    }
    return Step::Timeout;
}

bool XmodemReceiver::ReadBlockBody(uint8_t number, size_t size, bool& duplicate) {
    duplicate = false;
    uint8_t got_number = 0;
    uint8_t complement = 0;
    if (ReadByte(port_, ui_, got_number, kByteSeconds) != 0) {
        return false;
    }
    // A repeat of the block before, sent again because our ACK was lost, is taken in whole
    // and acknowledged again instead of being refused until the sender gives up.
    const bool previous = got_number == static_cast<uint8_t>(number - 1);
    if (got_number != number && !previous) {
        PurgeLine(port_, ui_, kErrorPurgeSeconds);
        return false;
    }
    if (ReadByte(port_, ui_, complement, kByteSeconds) != 0) {
        return false;
    }
    if (static_cast<uint8_t>(255 - complement) != got_number) {
        PurgeLine(port_, ui_, kErrorPurgeSeconds);
        return false;
    }
    uint32_t got = 0;
    const uint32_t result =
        ReadBlock(port_, ui_, data_.data(), static_cast<uint32_t>(size), got, kByteSeconds);
    if (result != 0 || got < size) {
        return false;
    }
    std::array<uint8_t, 2> check{};
    for (size_t i = 0; i < CheckLength(crc_); ++i) {
        if (ReadByte(port_, ui_, check[i], kByteSeconds) != 0) {
            return false;
        }
    }
    if (!CheckMatches({data_.data(), size}, {check.data(), CheckLength(crc_)}, crc_)) {
        PurgeLine(port_, ui_, kErrorPurgeSeconds);
        return false;
    }
    duplicate = previous;
    return true;
}

Step XmodemReceiver::ReceiveBlock(uint8_t number) {
    for (int attempt = 1; attempt <= kBlockAttempts; ++attempt) {
        ui_.Dispatch();
        if (ui_.Cancelled()) {
            return Step::UserCancelled;
        }
        bool received = false;
        bool duplicate = false;
        size_t size = 0;
        uint8_t first = 0;
        if (ReadByte(port_, ui_, first, kByteSeconds) == 0) {
            switch (first) {
                case kSoh:
                    size = kSmallBlock;
                    break;
                case kStx:
                    size = kLargeBlock;
                    break;
                case kEot:
                    PutByte(port_, ui_, kAck);
                    return Step::EndOfFile;
                case kCan: {
                    uint8_t second = 0;
                    if (ReadByte(port_, ui_, second, kByteSeconds) == 0 && second == kCan) {
                        return Step::RemoteCancelled;
                    }
                    PurgeLine(port_, ui_, kErrorPurgeSeconds);
                    break;
                }
                default:
                    PurgeLine(port_, ui_, kErrorPurgeSeconds);
                    break;
            }
            received = size != 0 && ReadBlockBody(number, size, duplicate);
        }
        if (received && duplicate) {
            PutByte(port_, ui_, kAck);
            continue;
        }
        if (received) {
            if (protocol_ != Protocol::YmodemG) {
                PutByte(port_, ui_, kAck);
            }
            return size == kSmallBlock ? Step::Block128 : Step::Block1K;
        }
        if (ui_.Cancelled()) {
            return Step::UserCancelled;  // the wait ended for the cancel, not for the line
        }
        if (protocol_ == Protocol::YmodemG) {
            return Step::Timeout;
        }
        PutByte(port_, ui_, kNak);
    }
    return Step::Timeout;
}

Step XmodemReceiver::ReceiveHeader(YmodemHeader& header) {
    const Step step = ReceiveBlock(0);
    if (step == Step::Block128) {
        header = ParseYmodemHeader({data_.data(), kSmallBlock});
        return step;
    }
    if (step == Step::Block1K || step == Step::EndOfFile) {
        return Step::Timeout;
    }
    return step;
}

TransferOutcome XmodemReceiver::Fail(std::string_view message) {
    ui::ShowError(ui_.messages, message, kCaption);
    return TransferOutcome::Failed;
}

TransferOutcome XmodemReceiver::ReceiveFile(const std::string& path, std::optional<uint64_t> size) {
    auto opened = LockedFile::CreateForWriting(path);
    if (!opened) {
        ui::ShowError(ui_.messages, kFileOpenFailed, kCaption);
        SendCancelBytes(port_, ui_);
        return TransferOutcome::Failed;
    }
    LockedFile& file = *opened;
    TransferOutcome outcome = TransferOutcome::Cancelled;
    uint64_t written = 0;
    int number = 1;
    for (;;) {
        ui_.Dispatch();
        const Step step = ReceiveBlock(static_cast<uint8_t>(number));
        bool done = true;
        switch (step) {
            case Step::Block128:
            case Step::Block1K: {
                const uint64_t block = step == Step::Block128 ? kSmallBlock : kLargeBlock;
                // Without a known size every block is kept whole, padding included; with one,
                // only the bytes still owed.
                const uint64_t owed = size ? (*size > written ? *size - written : 0) : block;
                const uint64_t keep = owed < block ? owed : block;
                if (keep > 0 && !file.WriteAll(data_.data(), static_cast<size_t>(keep))) {
                    file.Close();
                    outcome = Fail(kWriteFailed);
                    ui_.CloseProgressAsCancel();
                    break;
                }
                written += keep;
                ui_.messages.ShowStatus(Format(kBlockReceived, number));
                ++number;
                done = false;
                break;
            }
            case Step::Timeout:
            case Step::RemoteCancelled:
                file.Close();
                outcome = Fail(step == Step::Timeout ? kBlockTimeout : kCancelledByTransmitter);
                ui_.CloseProgressAsCancel();
                break;
            case Step::EndOfFile:
                file.Close();
                outcome = TransferOutcome::Succeeded;
                ui_.messages.ShowStatus(kStatusFinished);
                if (!IsYmodem(protocol_)) {
                    ui_.CloseProgressAsCancel();
                    ui::ShowInformation(ui_.messages, kFinished, kCaption);
                }
                break;
            default:  // cancelled by the user
                file.Close();
                break;
        }
        if (ui_.Cancelled()) {
            SendCancelBytes(port_, ui_);
        } else if (size) {
            const int percent = *size == 0 ? 100 : static_cast<int>(written * 100 / *size);
            ui_.progress.SetPercent(percent);
            ui_.progress.SetText(Format(kBytesReceived, static_cast<unsigned long long>(written),
                                        static_cast<unsigned long long>(*size)));
        } else {
            ui_.progress.SetText(Format(kBytesWritten, static_cast<unsigned long long>(written)));
        }
        if (done) {
            return outcome;
        }
    }
}

TransferOutcome XmodemReceiver::Run(const std::string& target) {
    for (;;) {
        ui_.messages.ShowStatus(kStatusReceiving);
        const Step started = Start();
        if (started == Step::Timeout) {
            return Fail(kNoSender);
        }
        if (started != Step::Acknowledged || ui_.Cancelled()) {
            return TransferOutcome::Cancelled;
        }
        std::string path = target;
        std::optional<uint64_t> size;
        if (IsYmodem(protocol_)) {
            YmodemHeader header;
            const Step step = ReceiveHeader(header);
            if (step == Step::UserCancelled) {
                return TransferOutcome::Cancelled;
            }
            if (step == Step::RemoteCancelled) {
                return Fail(kCancelledByTransmitter);
            }
            if (step == Step::Timeout) {
                return Fail(kNoHeader);
            }
            if (header.name.empty()) {
                ui::ShowInformation(ui_.messages, kBatchDone, kCaption);
                return TransferOutcome::Succeeded;
            }
            const auto name = SafeDownloadName(header.name);
            if (!name) {
                const TransferOutcome failed =
                    Fail(Format(kBadName, PrintableName(header.name).c_str()));
                SendCancelBytes(port_, ui_);
                return failed;
            }
            path = target + "/" + *name;
            size = header.size;
            // Ask for the data as the published protocol has it; a sender that goes on without
            // waiting takes the byte for noise.
            PutByte(port_, ui_, protocol_ == Protocol::YmodemG ? kStartG : kStartCrc);
        }
        if (ui_.Cancelled()) {
            return TransferOutcome::Cancelled;
        }
        const TransferOutcome outcome = ReceiveFile(path, size);
        if (outcome != TransferOutcome::Succeeded || !IsYmodem(protocol_) || ui_.Cancelled()) {
            return outcome;
        }
    }
}

}  // namespace qorval::terminal
