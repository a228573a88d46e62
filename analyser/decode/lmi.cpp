#include "analyser/decode/lmi.h"

#include "analyser/decode/field_values.h"

namespace qorval::analyser::decode {
namespace {

constexpr uint8_t kUnnumberedInformation = 0x03;
constexpr uint8_t kDiscriminatorQ933 = 0x08;
constexpr uint8_t kDiscriminatorConsortium = 0x09;
constexpr uint8_t kLockingShiftToCodeset5 = 0x95;  // Annex D's elements follow it

// The identifiers of the three elements of a status message: Annex A uses the Q.933 codes,
// Annex D (in codeset 5) and the consortium LMI the older ones.
struct ElementIds {
    uint8_t reportType;
    uint8_t linkIntegrity;
    uint8_t pvcStatus;
};
constexpr ElementIds kQ933Elements = {0x51, 0x53, 0x57};
constexpr ElementIds kShortElements = {0x01, 0x03, 0x07};

// PVC status octet.
constexpr uint8_t kPvcNew = 0x08;
constexpr uint8_t kPvcDeleted = 0x04;
constexpr uint8_t kPvcActive = 0x02;

// One information element's contents; false when they are shorter than the element needs.
bool DecodeElement(uint8_t id, std::span<const uint8_t> contents, const ElementIds& ids,
                   DecodedFrame& frame) {
    if (id == ids.reportType) {
        if (contents.empty()) {
            return false;
        }
        frame.Add(FieldId::ReportType, contents[0]);
    } else if (id == ids.linkIntegrity) {
        if (contents.size() < 2) {
            return false;
        }
        frame.Add(FieldId::LinkSendSequence, contents[0]);
        frame.Add(FieldId::LinkReceiveSequence, contents[1]);
    } else if (id == ids.pvcStatus) {
        if (contents.size() < 3) {
            return false;
        }
        const uint32_t dlci = ((contents[0] & 0x3Fu) << 4) | ((contents[1] >> 3) & 0x0Fu);
        const uint8_t status = contents[2];
        frame.Add(FieldId::Pvc, dlci);
        frame.Add((status & kPvcActive) ? FieldId::PvcActive : FieldId::PvcInactive, dlci);
        if (status & kPvcNew) {
            frame.Add(FieldId::PvcNew, dlci);
        }
        if (status & kPvcDeleted) {
            frame.Add(FieldId::PvcDeleted, dlci);
        }
    } else {
        frame.Add(FieldId::InformationElement, id);
    }
    return true;
}

}  // namespace

bool DecodeLmiMessage(std::span<const uint8_t> bytes, size_t offset, uint32_t dlci,
                      DecodedFrame& frame) {
    if (bytes.size() < offset + 2 || bytes[offset] != kUnnumberedInformation) {
        return false;
    }
    const uint8_t discriminator = bytes[offset + 1];
    const bool consortium = dlci == 1023 && discriminator == kDiscriminatorConsortium;
    const bool q933 = dlci == 0 && discriminator == kDiscriminatorQ933;
    if (!consortium && !q933) {
        return false;
    }
    // Call reference (one octet, the dummy call reference 0) and message type.
    size_t at = offset + 3;
    if (bytes.size() <= at) {
        frame.Add(FieldId::LmiVariant, consortium ? kLmiConsortium : kLmiAnnexA);
        frame.Break(Problem::Malformed, bytes.size(), "message ends before its message type");
        return true;
    }
    const uint8_t messageType = bytes[at++];
    LmiVariant variant = consortium ? kLmiConsortium : kLmiAnnexA;
    if (q933 && at < bytes.size() && bytes[at] == kLockingShiftToCodeset5) {
        variant = kLmiAnnexD;
        ++at;
    }
    frame.Add(FieldId::LmiVariant, variant);
    frame.Add(FieldId::MessageType, messageType);
    const ElementIds& ids = variant == kLmiAnnexA ? kQ933Elements : kShortElements;
    while (at < bytes.size()) {
        if (at + 1 >= bytes.size()) {
            frame.Break(Problem::Malformed, at, "information element ends before its length");
            return true;
        }
        const uint8_t id = bytes[at];
        const size_t length = bytes[at + 1];
        if (at + 2 + length > bytes.size()) {
            frame.Break(Problem::Malformed, at, "information element longer than the frame");
            return true;
        }
        if (!DecodeElement(id, bytes.subspan(at + 2, length), ids, frame)) {
            frame.Break(Problem::Malformed, at, "information element shorter than its contents");
            return true;
        }
        at += 2 + length;
    }
    return true;
}

}  // namespace qorval::analyser::decode
