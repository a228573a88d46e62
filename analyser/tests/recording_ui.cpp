#include "analyser/tests/recording_ui.h"

namespace qorval::analyser::testing {

CaptureView* RecordingUi::OpenCaptureWindow() {
    windowOpen = true;
    ++windowsOpened;
    view.text_.clear();
    return &view;
}

std::optional<PortChoice> RecordingUi::ChooseDriverPort(const SystemInfo&) {
    ++dialogsShown;
    return choice;
}

}  // namespace qorval::analyser::testing
