// What the Send Options dialog applies when it closes. OK applies the values the controls show.
// A Browse that chose a file marks the dialog as accepted: leaving it with Cancel afterwards
// still applies the options as they were when the dialog opened, with the browsed file names.
// Plain Cancel (or one after Browse dialogs that were themselves cancelled) applies nothing.
#pragma once

#include <optional>
#include <string>

#include "analyser/analyser_app.h"

namespace qorval::analyser {

class SendOptionsChoice {
  public:
    explicit SendOptionsChoice(SendOptions opened) : browsed_(std::move(opened)) {}

    void MacroFileBrowsed(std::string path);
    void SendFileBrowsed(std::string path);

    // The options to apply: `shown` for OK; for Cancel nullopt, or the browsed ones.
    std::optional<SendOptions> OnClose(bool ok, const SendOptions& shown) const;

  private:
    SendOptions browsed_;  // the values at opening, with the file names browsed since
    bool accepted_ = false;
};

// The options the dialog opens with: the settings and the macro switch of the run.
SendOptions CurrentSendOptions(const CAnalyserApp& app);

}  // namespace qorval::analyser
