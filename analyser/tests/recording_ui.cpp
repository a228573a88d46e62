#include "analyser/tests/recording_ui.h"

namespace qorval::analyser::testing {

MessageAnswer RecordingUi::ShowMessage(const Message& message) {
    messages.push_back(message.text);
    captions.push_back(message.caption);
    return MessageAnswer::Ok;
}

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
