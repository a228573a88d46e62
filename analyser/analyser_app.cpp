#include "analyser/analyser_app.h"

#include <new>
#include <utility>

#include "analyser/port_lists.h"
#include "analyser/string_printf.h"
#include "platform/profile.h"

namespace qorval::analyser {
namespace {

constexpr const char* kNoDriverInfoAtStart =
    "Could not retrieve driver information, Exiting application!";
constexpr const char* kNoDrivers = "No drivers detected, Exiting application!";
constexpr const char* kNoDriverInfo = "Could not retrieve driver information!";
constexpr const char* kOpenFailed = "Could not open driver port!\nStatus = %08lX";
constexpr const char* kNoDeviceInfo = "Could not retrieve device info!";
constexpr const char* kNoFrameBuffer = "Could not allocate frame buffer!";
constexpr const char* kNoPortSelected =
    "Driver and Port have not been selected!\nExecute \"Select Driver/Port\" command and\ntry "
    "this command again!";

}  // namespace

CAnalyserApp::CAnalyserApp(AnalyserUi& ui, std::filesystem::path profilePath)
    : ui_(ui), profilePath_(std::move(profilePath)) {}

CAnalyserApp::~CAnalyserApp() = default;

void CAnalyserApp::ShowMessage(const std::string& text) {
    (void)ui_.ShowMessage(Message{text, kCaption, MessageIcon::Warning, MessageButtons::Ok, {}});
}

std::string CAnalyserApp::WithDriverInfoHint(const char* text) const {
    return driverInfoHint_ ? text + ("\n\n" + driverInfoHint_()) : std::string(text);
}

MenuState CAnalyserApp::CurrentMenuState() const {
    return MenuState{capturing_, loggingEnabled_, transmitEnabled_, parms_.display,
                     decode_.decodedView};
}

void CAnalyserApp::RefreshMenu() {
    ui_.RefreshMenu(CurrentMenuState());
}

bool CAnalyserApp::Startup() {
    {
        platform::ProfileFile profile(profilePath_);
        parms_ = ReadParms(profile);
    }
    if (QORVAL_GetSystemInfo(&systemInfo_) != QORVAL_OK) {
        ShowMessage(WithDriverInfoHint(kNoDriverInfoAtStart));
        return false;
    }
    if (PresentDriverCount(systemInfo_) == 0) {
        ShowMessage(kNoDrivers);
        return false;
    }
    capturing_ = false;
    loggingEnabled_ = false;
    logFile_.Close();
    transmitEnabled_ = false;
    sendPending_ = false;
    macroMode_ = false;
    portSelected_ = false;
    portHandle_ = 0;
    currentFrame_ = nullptr;
    currentLength_ = 0;
    currentSent_ = false;
    RefreshMenu();
    platform::ProfileFile profile(profilePath_);
    view_ = viewLoaded_ = ReadViewSettings(profile);
    decode_ = ReadDecodeSettings(profile);
    decoding_.SetLink(decode_.link);
    return true;
}

void CAnalyserApp::Shutdown(bool saveSettings) {
    replay_.reset();
    logFile_.Close();
    loggingEnabled_ = false;
    CloseSendFile();
    ClearFrameBuffers();
    steps_.clear();
    if (saveSettings) {
        platform::ProfileFile profile(profilePath_);
        WriteParms(profile, parms_);
        WriteChangedViewSettings(profile, view_, viewLoaded_);
        WriteDecodeSettings(profile, decode_);
    }
    ClosePortHandle();
}

bool CAnalyserApp::CheckPortSelected() {
    if (portSelected_ && portHandle_ != 0) {
        return true;
    }
    ShowMessage(kNoPortSelected);
    return false;
}

void CAnalyserApp::ClearFrameBuffers() {
    txFrame_.clear();
    txFrame_.shrink_to_fit();
    rxFrame_.clear();
    rxFrame_.shrink_to_fit();
    txLength_ = rxLength_ = 0;
    currentFrame_ = nullptr;
    currentLength_ = 0;
    testBuffer_ = nullptr;
    testBufferSize_ = 0;
}

// A port that opened but could not be made ready is closed again, so that it is not left
// open (and, being exclusive, unusable) without a handle anybody knows of; so is the handle of
// a port that has gone.
void CAnalyserApp::ClosePortAfterFailure() {
    ClosePortHandle();
    StopCaptureWithoutPort();
}

// The engine holds no port from the moment the close begins, so that what the close runner
// lets happen meanwhile (a poll tick, a repaint) finds none.
void CAnalyserApp::ClosePortHandle() {
    StopReplay();  // it writes to the port being closed
    const QORVAL_HANDLE closing = std::exchange(portHandle_, 0);
    portSelected_ = false;
    if (closing == 0) {
        (void)QORVAL_PortClose(closing);  // nothing to wait for
        return;
    }
    RunPortClose(closeRunner_, [closing] { (void)QORVAL_PortClose(closing); });
}

// A capture needs a port: when a reselection leaves none, the capture of the port that was
// closed ends as Start/Stop would end it, so the window does not go on showing a capture that
// reads nothing and that no command could stop.
void CAnalyserApp::StopCaptureWithoutPort() {
    if (capturing_) {
        StopCapture();
        RefreshMenu();
    }
}

bool CAnalyserApp::PortGone(uint32_t result) {
    if (result == QORVAL_OK || !portSelected_ || portHandle_ == 0) {
        return false;
    }
    const PortLoss loss =
        RecognisePortLoss(portHandle_, selectedPort_.driverType, selectedPort_.portNumber, result);
    if (loss == PortLoss::kNone) {
        return false;
    }
    // Every request on the handle fails from now on: polling it would only spin. The capture
    // ends as Start/Stop ends it; the frame buffers stay until the next selection, as a poll
    // step may still hold them.
    lostPort_ = loss;
    ClosePortAfterFailure();
    RefreshMenu();
    ShowMessage(PortLossMessage(loss, selectedPort_.portNumber));
    return true;
}

bool CAnalyserApp::SelectDriverPort() {
    if (QORVAL_GetSystemInfo(&systemInfo_) != QORVAL_OK) {
        ShowMessage(WithDriverInfoHint(kNoDriverInfo));
        return portSelected_;
    }
    const std::optional<PortChoice> choice = ui_.ChooseDriverPort(systemInfo_);
    if (!choice) {
        return portSelected_;
    }
    if (portSelected_ && portHandle_ != 0) {
        ClosePortHandle();
    }
    QORVAL_HANDLE handle = 0;
    const uint32_t status = QORVAL_PortOpen(choice->driverType, choice->portNumber, &handle);
    if (status != QORVAL_OK) {
        ShowMessage(StringPrintf(kOpenFailed, static_cast<unsigned long>(status)));
        StopCaptureWithoutPort();
        return false;
    }
    portHandle_ = handle;
    ClearFrameBuffers();
    if (QORVAL_GetPortInfo(portHandle_, &portInfo_) != QORVAL_OK) {
        ShowMessage(kNoDeviceInfo);
        ClosePortAfterFailure();
        return false;
    }
    try {
        txFrame_.assign(size_t{portInfo_.maxTxFrame} + 1, 0);
        rxFrame_.assign(size_t{portInfo_.maxRxFrame} + 1, 0);
    } catch (const std::bad_alloc&) {
        ClearFrameBuffers();
        ShowMessage(kNoFrameBuffer);
        ClosePortAfterFailure();
        return false;
    }
    selectedPort_ = *choice;
    portSelected_ = true;
    lostPort_ = PortLoss::kNone;
    return true;
}

}  // namespace qorval::analyser
