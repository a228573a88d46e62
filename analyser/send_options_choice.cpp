#include "analyser/send_options_choice.h"

namespace qorval::analyser {

void SendOptionsChoice::MacroFileBrowsed(std::string path) {
    browsed_.macroFile = std::move(path);
    accepted_ = true;
}

void SendOptionsChoice::SendFileBrowsed(std::string path) {
    browsed_.sendFile = std::move(path);
    accepted_ = true;
}

std::optional<SendOptions> SendOptionsChoice::OnClose(bool ok, const SendOptions& shown) const {
    if (ok) {
        return shown;
    }
    if (accepted_) {
        return browsed_;
    }
    return std::nullopt;
}

SendOptions CurrentSendOptions(const CAnalyserApp& app) {
    const ParmsSettings& parms = app.Parms();
    return {parms.macroFile, app.MacroMode(), parms.sendFile, parms.sendFirst};
}

}  // namespace qorval::analyser
