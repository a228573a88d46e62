// The control panel extension protocol: the messages a control panel sends to an applet's
// `CPlApplet` entry and the record the applet fills for the new-style inquiry. The record keeps
// the 32-bit layout of the original platform (244 bytes), so a host reads it field by field
// whatever the pointer size of the machine.
#pragma once

#include <cstdint>

namespace qorval::applet {

enum CplMessage : uint32_t {
    kCplInit = 1,
    kCplGetCount = 2,
    kCplInquire = 3,
    kCplSelect = 4,
    kCplDblClk = 5,
    kCplStop = 6,
    kCplExit = 7,
    kCplNewInquire = 8,
};

struct NewCplInfo {
    uint32_t dwSize;        // 244
    uint32_t dwFlags;       // 0
    uint32_t dwHelpContext; // 0
    int32_t lData;          // 0
    uint32_t hIcon;         // the icon resource number
    char szName[32];
    char szInfo[64];
    char szHelpFile[128];
};
static_assert(sizeof(NewCplInfo) == 244, "the record's size is part of the protocol");

inline constexpr uint32_t kAppletIconResource = 130;
inline constexpr const char* kAppletName = "Qorval Drivers";
inline constexpr const char* kAppletInfo = "Configures the Qorval drivers.";
inline constexpr const char* kSheetCaption = "Qorval Drivers Configuration";

// Fills the new-style inquiry record: size, icon, name and information; no help file.
void FillNewInquire(NewCplInfo& info);

// What `CPlApplet` answers to every message but double click, which opens the sheet.
int32_t CplAnswer(uint32_t message, NewCplInfo* info);

// The signature of the exported entry: window, message, parameter 1, parameter 2.
using CplAppletEntry = long (*)(void* window, uint32_t message, intptr_t param1,
                                intptr_t param2);

}  // namespace qorval::applet
