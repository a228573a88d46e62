#include "analyser/capture_record.h"

#include "analyser/pcapng_writer.h"

namespace qorval::analyser {

CaptureRecord::CaptureRecord(size_t byteLimit) : byteLimit_(byteLimit) {}

void CaptureRecord::OnFrame(const CapturedFrame& frame) {
    frames_.push_back(RecordedFrame{
        {frame.bytes.begin(), frame.bytes.end()}, frame.sent, frame.result, frame.arrivalNs});
    bytes_ += frame.bytes.size();
    // The newest frame always stays, even one larger than the whole limit.
    while (bytes_ > byteLimit_ && frames_.size() > 1) {
        bytes_ -= frames_.front().bytes.size();
        frames_.pop_front();
        ++dropped_;
    }
}

void CaptureRecord::Clear() {
    frames_.clear();
    bytes_ = 0;
    dropped_ = 0;
    ++clears_;
}

bool CaptureRecord::WritePcapng(const std::filesystem::path& path,
                                const std::string& interfaceName) const {
    PcapngWriter writer;
    if (!writer.Open(path)) {
        return false;
    }
    const uint32_t interfaceId = writer.AddInterface(interfaceName);
    for (const RecordedFrame& frame : frames_) {
        if (!WriteFramePacket(writer, interfaceId,
                              {frame.bytes, frame.sent, frame.result, frame.arrivalNs})) {
            return false;
        }
    }
    return writer.Close();
}

}  // namespace qorval::analyser
