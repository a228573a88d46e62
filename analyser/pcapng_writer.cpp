#include "analyser/pcapng_writer.h"

#include <poll.h>

#include "analyser/get_data_errors.h"
#include "analyser/pcapng_blocks.h"
#include "platform/regular_file.h"

namespace qorval::analyser {
namespace {

using namespace pcapng;

// Timestamps count nanoseconds: the arrival time resolves single frames on a fast line.
constexpr char kNanoseconds = 9;
constexpr uint32_t kSnapLength = 65536;

// Blocks are written in the machine's byte order, which the byte-order magic announces.
template <typename T>
void Put(std::string& out, T value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void Pad(std::string& out) {
    out.append((4 - out.size() % 4) % 4, '\0');
}

void PutOption(std::string& out, uint16_t code, std::string_view value) {
    Put(out, code);
    Put(out, static_cast<uint16_t>(value.size()));
    out.append(value);
    Pad(out);
}

}  // namespace

PcapngWriter::~PcapngWriter() {
    Close();
}

bool PcapngWriter::Open(const std::filesystem::path& path, std::string* problem) {
    Close();
    std::string why;
    std::FILE* file = platform::OpenRegularStream(path, platform::FileUse::Truncate, &why);
    return Begin(file, why, problem);
}

bool PcapngWriter::OpenPipe(const std::filesystem::path& path, std::string* problem) {
    Close();
    std::string why;
    std::FILE* file = platform::OpenPipeOrRegularStream(path, &why);
    return Begin(file, why, problem);
}

bool PcapngWriter::Begin(std::FILE* file, std::string& why, std::string* problem) {
    file_ = file;
    if (file_ == nullptr) {
        if (problem != nullptr) {
            *problem = std::move(why);
        }
        return false;
    }
    std::string body;
    Put(body, kByteOrderMagic);
    Put(body, uint16_t{1});
    Put(body, uint16_t{0});
    Put(body, int64_t{-1});  // section length not given
    return WriteBlock(kSectionHeaderBlock, body);
}

bool PcapngWriter::Close() {
    bool flushed = true;
    if (file_ != nullptr) {
        flushed = std::fclose(file_) == 0;
        file_ = nullptr;
    }
    interfaces_ = 0;
    return flushed;
}

uint32_t PcapngWriter::AddInterface(std::string_view name) {
    std::string body;
    Put(body, kLinkTypeSdlc);
    Put(body, uint16_t{0});
    Put(body, kSnapLength);
    PutOption(body, kOptionIfName, name);
    PutOption(body, kOptionIfTsresol, std::string_view(&kNanoseconds, 1));
    PutOption(body, kOptionEnd, {});
    (void)WriteBlock(kInterfaceDescriptionBlock, body);
    return interfaces_++;
}

bool PcapngWriter::WritePacket(uint32_t interfaceId, std::span<const uint8_t> bytes, uint32_t flags,
                               std::string_view comment, uint64_t timestampNs) {
    const auto length = static_cast<uint32_t>(std::min<size_t>(bytes.size(), kSnapLength));
    std::string body;
    Put(body, interfaceId);
    Put(body, static_cast<uint32_t>(timestampNs >> 32));
    Put(body, static_cast<uint32_t>(timestampNs));
    Put(body, length);
    Put(body, length);
    body.append(reinterpret_cast<const char*>(bytes.data()), length);
    Pad(body);
    std::string flagsValue;
    Put(flagsValue, flags);
    PutOption(body, kOptionPacketFlags, flagsValue);
    if (!comment.empty()) {
        PutOption(body, kOptionComment, comment.substr(0, UINT16_MAX - 3));
    }
    PutOption(body, kOptionEnd, {});
    return WriteBlock(kEnhancedPacketBlock, body);
}

bool PcapngWriter::WriteBlock(uint32_t type, const std::string& body) {
    if (file_ == nullptr) {
        return false;
    }
    const auto total = static_cast<uint32_t>(body.size() + 12);
    std::string block;
    Put(block, type);
    Put(block, total);
    block += body;
    Put(block, total);
    return std::fwrite(block.data(), 1, block.size(), file_) == block.size();
}

bool PcapngWriter::Flush() {
    return file_ == nullptr || std::fflush(file_) == 0;
}

bool PcapngWriter::ReaderGone() const {
    if (file_ == nullptr) {
        return false;
    }
    // The writing end of a pipe reports an error once no reader is left.
    pollfd watch{::fileno(file_), 0, 0};
    return ::poll(&watch, 1, 0) == 1 && (watch.revents & (POLLERR | POLLHUP)) != 0;
}

bool WriteFramePacket(PcapngWriter& writer, uint32_t interfaceId, const CapturedFrame& frame) {
    uint32_t flags = frame.sent ? PcapngWriter::kFlagOutbound : PcapngWriter::kFlagInbound;
    if (frame.result == 1) {  // CRC error
        flags |= PcapngWriter::kFlagCrcError;
    }
    const std::string_view comment =
        frame.result != 0 ? GetDataErrorText(frame.result) : std::string_view{};
    return writer.WritePacket(interfaceId, frame.bytes, flags, comment, frame.arrivalNs);
}

void PcapngCapture::OnFrame(const CapturedFrame& frame) {
    (void)WriteFramePacket(writer_, interfaceId_, frame);
}

}  // namespace qorval::analyser
