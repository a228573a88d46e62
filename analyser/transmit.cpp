// Transmission: Enable Transmit, Send Options, the send-file step and the reading of the macro
// file.
#include <algorithm>
#include <cstring>

#include "analyser/analyser_app.h"
#include "analyser/macro_parser.h"
#include "analyser/send_block_reader.h"

namespace qorval::analyser {
namespace {

constexpr const char* kTransmitDisabled = "Disabling transmission of data.";
constexpr const char* kTransmitEnabled = "Enabling transmission of data.";
constexpr const char* kNoSendFile =
    "Could not open Send File for reading!\nMake sure Send file exists!";
constexpr const char* kTransmitNotEnabled = "Transmission NOT enabled!";
constexpr const char* kParseFailed = "Macro program parsing failed. Transmission stopped.";
constexpr const char* kSendOptionsChanged = "Send Options changed. Transmission stopped.";
constexpr const char* kNoFreeTxBuffers = "NO FREE TRANSMIT BUFFERS!";
constexpr const char* kSendError = "ERROR SENDING FRAME!";
constexpr const char* kNoMacroFile = "Could not open macro file, aborting execution!";
constexpr const char* kParsing = "Parsing macro file. Please Wait.";
constexpr const char* kParsed = "Parsing of macro file completed.";

}  // namespace

void CAnalyserApp::CloseSendFile() {
    sendFile_.Close();
}

size_t CAnalyserApp::SendBlockReader(size_t maximum, uint8_t* buffer) {
    if (!sendFile_.IsOpen() || buffer == nullptr) {
        return 0;
    }
    return ReadSendBlock(sendFile_, maximum, buffer);
}

uint32_t CAnalyserApp::ReplaceTxFrame(std::string_view text) {
    decoding_.OnSendFailed();
    const size_t n = std::min(text.size(), txFrame_.size());
    std::memcpy(txFrame_.data(), text.data(), n);
    txLength_ = static_cast<uint32_t>(n);
    frameArrivalNs_ = wallClock_();  // shown at the time the send failed
    return txLength_;
}

uint32_t CAnalyserApp::SendFileStep() {
    txLength_ = static_cast<uint32_t>(SendBlockReader(portInfo_.maxTxFrame, txFrame_.data()));
    if (txLength_ != 0) {
        uint16_t waiting = 0;
        uint16_t txFree = 0;
        const uint32_t counted = QORVAL_GetBufferCount(portHandle_, &waiting, &txFree);
        const uint32_t put = counted != QORVAL_OK || txFree == 0
                                 ? counted
                                 : QORVAL_PutData(portHandle_, txFrame_.data(), txLength_);
        if (PortGone(put)) {
            txLength_ = 0;  // nothing went, and the going of the port has been said
        } else if (counted != QORVAL_OK || txFree == 0) {
            ReplaceTxFrame(kNoFreeTxBuffers);
        } else if (put != QORVAL_OK) {
            ReplaceTxFrame(kSendError);
        } else {
            NotifyFrame({txFrame_.data(), txLength_}, true, QORVAL_OK, wallClock_());
        }
    }
    sendPending_ = false;
    return txLength_;
}

void CAnalyserApp::ToggleTransmit() {
    if (transmitEnabled_) {
        CloseSendFile();
        transmitEnabled_ = false;
        sendPending_ = false;
        ui_.ShowStatus(kTransmitDisabled);
    } else {
        CloseSendFile();
        sendPending_ = parms_.sendFirst;
        stepIndex_ = -1;
        if (sendFile_.Open(parms_.sendFile, ExclusiveFile::Mode::Read, true)) {
            transmitEnabled_ = true;
            ui_.ShowStatus(kTransmitEnabled);
        } else {
            ShowMessage(kNoSendFile);
            ui_.ShowStatus(kTransmitNotEnabled);
        }
    }
    RefreshMenu();
}

void CAnalyserApp::SetSendOptions(const SendOptions& options) {
    parms_.macroFile = options.macroFile;
    macroMode_ = options.executeMacro;
    parms_.sendFile = options.sendFile;
    parms_.sendFirst = options.sendFirst;
    sendPending_ = false;
    transmitEnabled_ = false;
    CloseSendFile();
    RefreshMenu();
    if (macroMode_ && !ParseMacroFile()) {
        ui_.ShowStatus(kParseFailed);
        return;
    }
    ui_.ShowStatus(kSendOptionsChanged);
}

bool CAnalyserApp::ParseMacroFile() {
    steps_.clear();
    stepIndex_ = 0;
    // The macro file has a line buffer of its own, so it parses whether or not a port (and
    // with it the transmit frame buffer) exists, and every line is read whole.
    ExclusiveFile macroFile;
    if (!macroFile.Open(parms_.macroFile, ExclusiveFile::Mode::Read, true)) {
        AbortMacro(kNoMacroFile);
        return false;
    }
    ui_.ShowStatus(kParsing);
    MacroParseResult result = ParseMacro([&] { return macroFile.ReadLine(); },
                                         [&](const std::string& text) { ui_.ShowStatus(text); });
    macroFile.Close();
    if (!result.ok) {
        AbortMacro(result.error);
        return false;
    }
    steps_ = std::move(result.steps);
    ui_.ShowStatus(kParsed);
    stepIndex_ = 0;
    stepEntered_ = true;
    txLength_ = 0;
    rxLength_ = 0;
    return true;
}

void CAnalyserApp::AbortMacro(const std::string& text) {
    ShowMessage(text);
    macroMode_ = false;
    transmitEnabled_ = false;
    RefreshMenu();
    CloseSendFile();
    stepIndex_ = 0;
    steps_.clear();
}

}  // namespace qorval::analyser
