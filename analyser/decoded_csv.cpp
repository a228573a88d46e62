#include "analyser/decoded_csv.h"

#include <cinttypes>

#include "analyser/decode/decoded_text.h"
#include "analyser/get_data_errors.h"

namespace qorval::analyser {
namespace {

constexpr std::string_view kFixedColumns = "number,time,direction,length,status,decoded,problem";
constexpr std::string_view kRowEnd = "\r\n";

// A cell with a comma, a quote or a line end is quoted, its quotes doubled.
void AppendCell(std::string& row, std::string_view cell) {
    row += ',';
    if (cell.find_first_of(",\"\r\n") == std::string_view::npos) {
        row += cell;
        return;
    }
    row += '"';
    for (char c : cell) {
        if (c == '"') {
            row += '"';
        }
        row += c;
    }
    row += '"';
}

// The values of one column: the field's every occurrence; LAPB's stations fill "addr" too.
std::string FieldCell(const decode::DecodedFrame& frame, decode::FieldId column) {
    std::string cell;
    for (const decode::Field& field : frame) {
        const bool address =
            column == decode::FieldId::Address && field.id == decode::FieldId::Station;
        if (field.id == column || address) {
            if (!cell.empty()) {
                cell += ' ';
            }
            cell += decode::FieldValueText(address ? decode::Field{column, field.value} : field);
        }
    }
    return cell;
}

}  // namespace

std::string SecondsSince(uint64_t timeNs, uint64_t startNs) {
    const uint64_t us = (timeNs > startNs ? timeNs - startNs : 0) / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIu64 ".%06" PRIu64, us / 1000000, us % 1000000);
    return text;
}

std::string DecodedCsvHeader(decode::LinkProtocol link) {
    std::string header(kFixedColumns);
    for (decode::FieldId id : decode::FieldsOf(link)) {
        header += ',';
        header += decode::InfoOf(id).filterName;
    }
    return header + std::string(kRowEnd);
}

std::string DecodedCsvRow(const FrameFacts& facts, decode::LinkProtocol link, uint64_t timeNs,
                          uint64_t startNs) {
    std::string row = std::to_string(facts.number);
    AppendCell(row, SecondsSince(timeNs, startNs));
    AppendCell(row, facts.sent ? "sent" : "received");
    AppendCell(row, std::to_string(facts.length));
    AppendCell(row, facts.result == 0 ? std::string_view("OK") : GetDataErrorText(facts.result));
    std::string decoded;
    std::string problem;
    if (facts.decoded != nullptr) {
        decode::AppendDecodedFields(decoded, *facts.decoded);
        decode::AppendDecodedProblem(problem, *facts.decoded);
    }
    AppendCell(row, decoded);
    AppendCell(row, problem);
    for (decode::FieldId id : decode::FieldsOf(link)) {
        AppendCell(row, facts.decoded != nullptr ? FieldCell(*facts.decoded, id) : std::string());
    }
    return row + std::string(kRowEnd);
}

DecodedCsvFile::~DecodedCsvFile() {
    (void)Close();
}

bool DecodedCsvFile::Open(const std::filesystem::path& path, decode::LinkProtocol link) {
    (void)Close();
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        return false;
    }
    link_ = link;
    failed_ = false;
    const std::string header = DecodedCsvHeader(link);
    failed_ = std::fwrite(header.data(), 1, header.size(), file_) != header.size();
    return !failed_;
}

bool DecodedCsvFile::Close() {
    if (file_ == nullptr) {
        return true;
    }
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return closed && !failed_;
}

void DecodedCsvFile::OnDecodedFrame(const FrameFacts& facts, uint64_t timeNs, uint64_t startNs) {
    if (file_ == nullptr) {
        return;
    }
    const std::string row = DecodedCsvRow(facts, link_, timeNs, startNs);
    if (std::fwrite(row.data(), 1, row.size(), file_) != row.size()) {
        failed_ = true;
    }
}

void DecodedCsvFile::Flush() {
    if (file_ != nullptr && std::fflush(file_) != 0) {
        failed_ = true;
    }
}

}  // namespace qorval::analyser
