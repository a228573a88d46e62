#pragma once
// The terminal window's own texts: menus, tool tips, dialog captions and labels.

namespace qorval::terminal::window {

inline constexpr const char* kMenuFile = "&File";
inline constexpr const char* kItemOpenLog = "&Open Log File...";
inline constexpr const char* kItemCloseLog = "&Close Log File";
inline constexpr const char* kItemTransmitText = "Transmit &Text File...";
inline constexpr const char* kItemTransmitBin = "Transmit &Bin File...";
inline constexpr const char* kItemReceiveBin = "&Receive Bin File...";
inline constexpr const char* kItemExit = "E&xit";

inline constexpr const char* kMenuCommunications = "&Communications";
inline constexpr const char* kItemSettings = "&Settings...";
inline constexpr const char* kItemProgramOptions = "&Program Options...";

inline constexpr const char* kMenuView = "&View";
inline constexpr const char* kItemModemControl = "&Modem Control";
inline constexpr const char* kItemToolbar = "&Toolbar";
inline constexpr const char* kItemStatusBar = "&Status Bar";

inline constexpr const char* kMenuHelp = "&Help";
inline constexpr const char* kItemAbout = "&About vintor...";
inline constexpr const char* kAboutCaption = "About Vintor";
inline constexpr const char* kAboutText = "Vintor Version 2.0";

// The main toolbar's buttons show what their menu items do.
inline constexpr const char* kTipOpenLog = "Open Log File";
inline constexpr const char* kTipCloseLog = "Close Log File";
inline constexpr const char* kTipTransmitText = "Transmit Text File";
inline constexpr const char* kTipAbout = "About vintor";

inline constexpr const char* kTipDtr = "Set/Clear DTR";
inline constexpr const char* kTipRts = "Set/Clear RTS";
inline constexpr const char* kTipCts = "CTS status";
inline constexpr const char* kTipDsr = "DSR status";
inline constexpr const char* kTipDcd = "DCD status";
inline constexpr const char* kTipRi = "RI status";

inline constexpr const char* kOptionsCaption = "Options";
inline constexpr const char* kOptionsEcho = "&Echo";
inline constexpr const char* kOptionsOff = "Off";
inline constexpr const char* kOptionsOn = "On";
inline constexpr const char* kOptionsDirectory = "&Download Directory";
inline constexpr const char* kOptionsBrowse = "&Browse...";
inline constexpr const char* kOptionsUnreadable = "UpdateData Failed during dialog termination!";

inline constexpr const char* kProtocolCaption = "Protocol Selection";
inline constexpr const char* kProtocolLabel = "Protocol:";

}  // namespace qorval::terminal::window
