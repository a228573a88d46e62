#include "analyser/saved_capture.h"

#include "analyser/pcapng_reader.h"
#include "analyser/pcapng_writer.h"
#include "portaccess/qorval32.h"

namespace qorval::analyser {

SavedCaptureSummary DecodeSavedCapture(std::FILE* file, decode::LinkProtocol link,
                                       CaptureStatistics& statistics,
                                       const std::function<void(const SavedFrame&)>& each) {
    SavedCaptureSummary summary;
    PcapngReader reader(file);
    uint64_t timeNs = 0;
    uint64_t startNs = 0;
    uint32_t receivedCount = 0;
    while (const auto packet = reader.Next()) {
        if (reader.Interfaces()[packet->interfaceId].linkType != PcapngWriter::kLinkTypeSdlc) {
            ++summary.otherPackets;
            continue;
        }
        if (packet->hasTime) {
            timeNs = packet->timeNs;
        }
        if (summary.frames == 0) {
            startNs = timeNs;
            statistics.Start(startNs);
        }
        // A packet without a direction (another analyser's) was seen on the line: received.
        const bool sent = packet->direction == PacketDirection::Outbound;
        if (!sent) {
            ++receivedCount;
        }
        const decode::DecodedFrame decoded = decode::DecodeFrame(link, packet->bytes);
        const FrameFacts facts{.number = ++summary.frames,
                               .length = static_cast<uint32_t>(packet->bytes.size()),
                               .sent = sent,
                               // The one error of the library's that the file's flags keep.
                               .result = (packet->flags & PcapngWriter::kFlagCrcError) != 0
                                             ? static_cast<uint32_t>(QORVAL_CRC_ERROR)
                                             : 0u,
                               .decoded = &decoded};
        statistics.Add(facts, timeNs);
        summary.endNs = timeNs;
        each(SavedFrame{facts, packet->bytes, timeNs, startNs, receivedCount});
    }
    summary.error = reader.Error();
    return summary;
}

}  // namespace qorval::analyser
