#pragma once
// The tester's own texts: captions, messages, labels and formats, as the window shows them.

namespace qorval::bert::text {

inline constexpr char kCaption[] = "Kessup";
inline constexpr char kAboutMenuItem[] = "&About Kessup...";
inline constexpr char kAboutCaption[] = "About Kessup";
inline constexpr char kAboutText[] = "Kessup Version 1.0";

inline constexpr char kNoTimers[] =
    "All timers are in use. Please close some timers and restart the application.";
inline constexpr char kPortNotOpen[] = "Port is not open.";
inline constexpr char kFailureOpeningPort[] = "Failure opening port.";

inline constexpr char kStart[] = "Start";
inline constexpr char kStop[] = "Stop";
inline constexpr char kOpen[] = "Open ...";
inline constexpr char kClose[] = "Close";
inline constexpr char kStateButton[] = "State ...";
inline constexpr char kResetStats[] = "Reset Stats";
inline constexpr char kRepeatMode[] = "Repeat Mode";
inline constexpr char kDiskThread[] = "Disk Thread";
inline constexpr char kExit[] = "Exit";

inline constexpr char kTransmitGroup[] = "Transmit";
inline constexpr char kPortGroup[] = "Port";
inline constexpr char kTestTimeGroup[] = "Test Time";
inline constexpr char kStatisticsGroup[] = "Tx/Rx Statistics";
inline constexpr char kBufferGroup[] = "Buffer Statistics";

inline constexpr char kOutOfSync[] = "Out Of Sync";
inline constexpr char kSearching[] = "Searching...";
inline constexpr char kInSync[] = "In Sync";
inline constexpr char kNoData[] = "No Data";

inline constexpr char kTestTimeAtStart[] = "000:00:00";
inline constexpr char kTestTimeFormat[] = "%.3u : %.2u : %.2u";
inline constexpr char kRateFormat[] = "%.0f";
inline constexpr char kBufferFormat[] = "%d";
inline constexpr char kRateUnit[] = "bps";

inline constexpr char kTxFrames[] = "Tx Frames:";
inline constexpr char kRxFrames[] = "Rx Frames:";
inline constexpr char kBytesChecked[] = "Bytes Checked:";
inline constexpr char kBitErrors[] = "Bit Errors:";
inline constexpr char kOverrunErrors[] = "Overrun Errors:";
inline constexpr char kCrcErrors[] = "CRC Errors:";
inline constexpr char kLineErrors[] = "Line Errors:";
inline constexpr char kOtherErrors[] = "Other Errors:";
inline constexpr char kSyncLosses[] = "Sync Losses:";
inline constexpr char kTxDataRate[] = "Tx Data Rate:";
inline constexpr char kRxDataRate[] = "Rx Data Rate:";
inline constexpr char kStatus[] = "Status:";
inline constexpr char kTxBuffersAvailable[] = "Tx Buffers Available:";
inline constexpr char kRxBuffersAvailable[] = "Rx Buffers Available:";

}  // namespace qorval::bert::text
