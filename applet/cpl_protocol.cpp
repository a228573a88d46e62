#include "applet/cpl_protocol.h"

#include <cstring>

namespace qorval::applet {

namespace {

template <size_t N>
void CopyText(char (&field)[N], const char* text) {
    std::strncpy(field, text, N - 1);
    field[N - 1] = '\0';
}

}  // namespace

void FillNewInquire(NewCplInfo& info) {
    std::memset(&info, 0, sizeof info);
    info.dwSize = sizeof info;
    info.hIcon = kAppletIconResource;
    CopyText(info.szName, kAppletName);
    CopyText(info.szInfo, kAppletInfo);
}

int32_t CplAnswer(uint32_t message, NewCplInfo* info) {
    switch (message) {
        case kCplInit:
        case kCplGetCount:
        case kCplSelect:
        case kCplStop:
            return 1;
        case kCplInquire:
        case kCplExit:
        case kCplDblClk:
            return 0;
        case kCplNewInquire:
            if (info != nullptr) {
                FillNewInquire(*info);
            }
            return 0;
        default:
            return 1;
    }
}

}  // namespace qorval::applet
