#include "analyser/decode/fields.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "analyser/decode/field_values.h"

namespace qorval::analyser::decode {
namespace {

// Each table lists a value's display name first; names after it are aliases a filter accepts.
constexpr ValueName kFrameTypes[] = {
    {kTypeI, "I"},          {kTypeRR, "RR"},         {kTypeRNR, "RNR"},
    {kTypeREJ, "REJ"},      {kTypeSREJ, "SREJ"},     {kTypeSABM, "SABM"},
    {kTypeSABME, "SABME"},  {kTypeSNRM, "SNRM"},     {kTypeSNRME, "SNRME"},
    {kTypeDISC, "DISC"},    {kTypeUA, "UA"},         {kTypeDM, "DM"},
    {kTypeFRMR, "FRMR"},    {kTypeUI, "UI"},         {kTypeXID, "XID"},
    {kTypeTEST, "TEST"},    {kTypeSIM, "SIM"},       {kTypeRSET, "RSET"},
    {kTypeDiscOrRd, "DISC/RD"}, {kTypeDiscOrRd, "DISC"}, {kTypeDiscOrRd, "RD"},
    {kTypeSimOrRim, "SIM/RIM"}, {kTypeSimOrRim, "SIM"},  {kTypeSimOrRim, "RIM"},
    {kTypeCFGR, "CFGR"},    {kTypeBCN, "BCN"},       {kTypeUP, "UP"},
};
constexpr ValueName kCommandResponse[] = {
    {kCommand, "C"}, {kResponse, "R"}, {kCommand, "CMD"}, {kResponse, "RESP"}};
constexpr ValueName kStations[] = {{0x03, "A"}, {0x01, "B"}};
constexpr ValueName kLayers[] = {{kLayerX25, "X.25"}, {kLayerX25, "X25"}};
constexpr ValueName kPacketTypes[] = {
    {kPacketCallRequest, "CALL-REQ"},
    {kPacketCallRequest, "INC-CALL"},
    {kPacketCallAccepted, "CALL-ACC"},
    {kPacketCallAccepted, "CALL-CONN"},
    {kPacketClearRequest, "CLR-REQ"},
    {kPacketClearRequest, "CLR-IND"},
    {kPacketClearConfirmation, "CLR-CONF"},
    {kPacketResetRequest, "RESET-REQ"},
    {kPacketResetRequest, "RESET-IND"},
    {kPacketResetConfirmation, "RESET-CONF"},
    {kPacketInterrupt, "INT"},
    {kPacketInterruptConfirmation, "INT-CONF"},
    {kPacketDiagnostic, "DIAG"},
    {kPacketRegistrationRequest, "REG-REQ"},
    {kPacketRegistrationConfirmation, "REG-CONF"},
    {kPacketRestartRequest, "RESTART-REQ"},
    {kPacketRestartRequest, "RESTART-IND"},
    {kPacketRestartConfirmation, "RESTART-CONF"},
    {kPacketData, "DATA"},
    {kPacketRR, "RR"},
    {kPacketRNR, "RNR"},
    {kPacketREJ, "REJ"},
};
constexpr ValueName kNlpids[] = {{0xCC, "IP"},   {0x8E, "IPV6"}, {0x80, "SNAP"}, {0x81, "CLNP"},
                                 {0x82, "ESIS"}, {0x83, "ISIS"}, {0x08, "Q.933"}};
constexpr ValueName kEtherTypes[] = {
    {0x0800, "IP"}, {0x0806, "ARP"}, {0x86DD, "IPV6"}, {0x8035, "SLARP"}};
constexpr ValueName kLmiVariants[] = {
    {kLmiAnnexA, "ANNEX-A"}, {kLmiAnnexD, "ANNEX-D"}, {kLmiConsortium, "CONSORTIUM"}};
constexpr ValueName kMessageTypes[] = {{kMessageStatusEnquiry, "STATUS-ENQ"},
                                       {kMessageStatus, "STATUS"},
                                       {kMessageStatusEnquiry, "STATUS-ENQUIRY"}};
constexpr ValueName kReportTypes[] = {
    {kReportFull, "FULL"}, {kReportLinkIntegrity, "LIV"}, {kReportSinglePvc, "ASYNC"}};
constexpr ValueName kSlarpCodes[] = {
    {kSlarpRequest, "REQUEST"}, {kSlarpReply, "REPLY"}, {kSlarpKeepalive, "KEEPALIVE"}};

using S = FieldStyle;
constexpr std::array<FieldInfo, static_cast<size_t>(FieldId::Count)> kFields = {{
    {"addr", "ADDR", S::Hex, 2, {}},
    {"station", "STATION", S::Name, 0, kStations},
    {"cr", "C/R", S::Name, 0, kCommandResponse},
    {"type", "TYPE", S::Name, 0, kFrameTypes},
    {"ns", "N(S)", S::Decimal, 0, {}},
    {"nr", "N(R)", S::Decimal, 0, {}},
    {"pf", "P/F", S::PollFinal, 0, {}},
    {"rfcf", "RFCF", S::Hex, 2, {}},
    {"vs", "V(S)", S::Decimal, 0, {}},
    {"vr", "V(R)", S::Decimal, 0, {}},
    {"frmr_cr", "C/R", S::Decimal, 0, {}},
    {"w", "W", S::Flag, 0, {}},
    {"x", "X", S::Flag, 0, {}},
    {"y", "Y", S::Flag, 0, {}},
    {"z", "Z", S::Flag, 0, {}},
    {"layer", "LAYER", S::Name, 0, kLayers},
    {"gfi", "GFI", S::Hex, 1, {}},
    {"q", "Q", S::Flag, 0, {}},
    {"d", "D", S::Flag, 0, {}},
    {"lcn", "LCN", S::Decimal, 0, {}},
    {"ptype", "PTYPE", S::Name, 0, kPacketTypes},
    {"ps", "P(S)", S::Decimal, 0, {}},
    {"pr", "P(R)", S::Decimal, 0, {}},
    {"m", "M", S::Flag, 0, {}},
    {"called", "CALLED", S::Digits, 0, {}},
    {"calling", "CALLING", S::Digits, 0, {}},
    {"cause", "CAUSE", S::Hex, 2, {}},
    {"diag", "DIAG", S::Hex, 2, {}},
    {"dlci", "DLCI", S::Spaced, 0, {}},
    {"crbit", "C/R", S::Flag, 0, {}},
    {"fecn", "FECN", S::Flag, 0, {}},
    {"becn", "BECN", S::Flag, 0, {}},
    {"de", "DE", S::Flag, 0, {}},
    {"nlpid", "NLPID", S::Hex, 2, kNlpids},
    {"oui", "OUI", S::Hex, 6, {}},
    {"proto", "PROTO", S::Hex, 4, kEtherTypes},
    {"lmi", "LMI", S::LabelName, 0, kLmiVariants},
    {"msg", "MSG", S::Name, 0, kMessageTypes},
    {"report", "REPORT", S::LabelName, 0, kReportTypes},
    {"txseq", "TXSEQ", S::Decimal, 0, {}},
    {"rxseq", "RXSEQ", S::Decimal, 0, {}},
    {"pvc", "PVC", S::Spaced, 0, {}},
    {"pvc_active", "ACTIVE", S::Tag, 0, {}},
    {"pvc_inactive", "INACTIVE", S::Tag, 0, {}},
    {"pvc_new", "NEW", S::Tag, 0, {}},
    {"pvc_deleted", "DELETED", S::Tag, 0, {}},
    {"ie", "IE", S::Hex, 2, {}},
    {"slarp", "SLARP", S::Name, 0, kSlarpCodes},
    {"myseq", "MYSEQ", S::Decimal, 0, {}},
    {"yourseq", "YOURSEQ", S::Decimal, 0, {}},
    {"ip", "IP", S::Ipv4, 0, {}},
    {"mask", "MASK", S::Ipv4, 0, {}},
}};

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

constexpr unsigned kMaxDigits = 15;

}  // namespace

const FieldInfo& InfoOf(FieldId id) {
    return kFields[static_cast<size_t>(id)];
}

std::optional<FieldId> FieldByFilterName(std::string_view name) {
    for (size_t i = 0; i < kFields.size(); ++i) {
        if (EqualIgnoringCase(kFields[i].filterName, name)) {
            return static_cast<FieldId>(i);
        }
    }
    return std::nullopt;
}

std::optional<std::string_view> NameOfValue(FieldId id, uint64_t value) {
    for (const ValueName& entry : InfoOf(id).names) {
        if (entry.value == value) {
            return entry.name;
        }
    }
    return std::nullopt;
}

uint64_t PackDigits(std::span<const uint8_t> digits) {
    const size_t count = std::min<size_t>(digits.size(), kMaxDigits);
    uint64_t packed = uint64_t{count} << 60;
    for (size_t i = 0; i < count; ++i) {
        packed |= uint64_t{digits[i] & 0x0Fu} << (4 * i);
    }
    return packed;
}

size_t DigitCount(uint64_t packed) {
    return static_cast<size_t>(packed >> 60);
}

uint8_t DigitAt(uint64_t packed, size_t index) {
    return static_cast<uint8_t>((packed >> (4 * index)) & 0x0F);
}

}  // namespace qorval::analyser::decode
