#pragma once
// The port dialogs' own texts: captions, labels, buttons and messages, as the dialogs show them.

namespace qorval::dialogs::text {

inline constexpr char kErrorCaption[] = "Error";

// "Open Port"
inline constexpr char kOpenPortCaption[] = "Open Port";
inline constexpr char kPortSelectionGroup[] = "Port Selection";
inline constexpr char kPortInfoGroup[] = "Port Info";
inline constexpr char kCardLabel[] = "Card:";
inline constexpr char kAddressLabel[] = "Address:";
inline constexpr char kChannelLabel[] = "Channel:";
inline constexpr char kAvailableLabel[] = "Available:";
inline constexpr char kOpenButton[] = "Open";
inline constexpr char kCancelButton[] = "Cancel";
inline constexpr char kYes[] = "Yes";
inline constexpr char kNo[] = "No";
inline constexpr char kPortNotAvailable[] = "Port is not available.";

// "Port Information"
inline constexpr char kPortInformationCaption[] = "Port Information";
inline constexpr char kPortStateGroup[] = "Port State";
inline constexpr char kTxDataRateLabel[] = "Tx Data Rate:";
inline constexpr char kOkButton[] = "OK";
inline constexpr char kNotAvailable[] = "N/A";
inline constexpr char kErrorGettingPortInfo[] = "Error getting port info!";
inline constexpr char kErrorSettingPortState[] = "Error setting port state!";

}  // namespace qorval::dialogs::text
