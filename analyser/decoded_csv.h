// The decoded list as comma-separated values (RFC 4180, lines ending CR LF), one row a frame:
//   number,time,direction,length,status,decoded,problem,<one column per field of the link>
// number counts the frames taken from and put on the port since the capture started; time is
// seconds since the start of the capture; status is "OK" or the library's error text; decoded
// and problem are the words of the decoded view; a field that occurs more than once (an LMI
// message's PVCs) has its values in one cell, separated by spaces.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "analyser/capture_decoding.h"
#include "analyser/decode/link_protocol.h"

namespace qorval::analyser {

// What the command line says when the CSV file (%s) cannot be created or written.
inline constexpr const char* kCsvNotOpened = "lombex32: could not create the CSV file %s\n";
inline constexpr const char* kCsvNotWritten = "lombex32: could not write the CSV file %s\n";

// "12.345678": seconds from `startNs` to `timeNs` to the microsecond (0 for a time before it).
std::string SecondsSince(uint64_t timeNs, uint64_t startNs);

std::string DecodedCsvHeader(decode::LinkProtocol link);
std::string DecodedCsvRow(const FrameFacts& facts, decode::LinkProtocol link, uint64_t timeNs,
                          uint64_t startNs);

// Writes the rows to a file as the frames pass (`lombex32 --capture --csv FILE`), or a whole
// list at once (the window's export).
class DecodedCsvFile final : public DecodedFrameSink {
  public:
    DecodedCsvFile() = default;
    ~DecodedCsvFile() override;
    DecodedCsvFile(const DecodedCsvFile&) = delete;
    DecodedCsvFile& operator=(const DecodedCsvFile&) = delete;

    // Creates (or truncates) the file and writes the header of the link's columns.
    [[nodiscard]] bool Open(const std::filesystem::path& path, decode::LinkProtocol link);
    // False when something could not be written.
    bool Close();
    void OnDecodedFrame(const FrameFacts& facts, uint64_t timeNs, uint64_t startNs) override;
    void Flush() override;

  private:
    std::FILE* file_ = nullptr;
    decode::LinkProtocol link_ = decode::LinkProtocol::Raw;
    bool failed_ = false;
};

}  // namespace qorval::analyser
