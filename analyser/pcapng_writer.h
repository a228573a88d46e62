// Writes frames to a pcapng capture file that packet analysers open: one interface per port,
// each packet stamped with its arrival time in nanoseconds, with its direction and error bits
// in the flags word and, for a frame the library reported with an error, the error in a
// comment.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "analyser/frame_observer.h"

namespace qorval::analyser {

class PcapngWriter {
  public:
    // Link type of the interfaces: SDLC frames (address, control, information).
    static constexpr uint16_t kLinkTypeSdlc = 268;
    // Packet flags: direction in bits 0-1, link-layer errors from bit 24 (CRC error).
    static constexpr uint32_t kFlagInbound = 0x1;
    static constexpr uint32_t kFlagOutbound = 0x2;
    static constexpr uint32_t kFlagCrcError = 1u << 24;

    PcapngWriter() = default;
    ~PcapngWriter();
    PcapngWriter(const PcapngWriter&) = delete;
    PcapngWriter& operator=(const PcapngWriter&) = delete;

    // Creates (or truncates) the file and writes its section header; a name that is not a
    // regular file, or a symbolic link, is refused (`problem` says why, when given).
    [[nodiscard]] bool Open(const std::filesystem::path& path, std::string* problem = nullptr);
    // The same into the FIFO a packet analyser reads a live capture from (or a regular file);
    // a FIFO nobody reads is refused at once.
    [[nodiscard]] bool OpenPipe(const std::filesystem::path& path,
                                std::string* problem = nullptr);
    // False when the last data could not be written out.
    bool Close();
    // Describes one port; packets name it by the returned id.
    uint32_t AddInterface(std::string_view name);
    // timestampNs: nanoseconds since 1970 (the interfaces' resolution).
    bool WritePacket(uint32_t interfaceId, std::span<const uint8_t> bytes, uint32_t flags,
                     std::string_view comment, uint64_t timestampNs);
    // Blocks are buffered; this (or Close) hands them to the system.
    bool Flush();
    // The file is a pipe or FIFO whose reader has gone (a regular file never is).
    bool ReaderGone() const;

  private:
    // Takes `file` (null: not opened, `why` says why) and writes the section header.
    bool Begin(std::FILE* file, std::string& why, std::string* problem);
    bool WriteBlock(uint32_t type, const std::string& body);

    std::FILE* file_ = nullptr;
    uint32_t interfaces_ = 0;
};

// One frame of the analyser as a packet at its arrival time: its direction, the CRC error bit
// and, for a frame the library reported with an error, that error's text as the comment.
bool WriteFramePacket(PcapngWriter& writer, uint32_t interfaceId, const CapturedFrame& frame);

// Feeds the analyser's frames of one port into a writer.
class PcapngCapture final : public FrameObserver {
  public:
    PcapngCapture(PcapngWriter& writer, uint32_t interfaceId)
        : writer_(writer), interfaceId_(interfaceId) {}
    void OnFrame(const CapturedFrame& frame) override;
    void Flush() override { (void)writer_.Flush(); }

  private:
    PcapngWriter& writer_;
    uint32_t interfaceId_;
};

}  // namespace qorval::analyser
