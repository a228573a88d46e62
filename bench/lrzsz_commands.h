// The lrzsz command lines the transfer benchmarks run next to our own sender and receiver:
// sender and receiver of YMODEM (sb/rb) and of XMODEM-1K (sx/rx), quiet, binary.
#pragma once

#include <string>
#include <vector>

namespace qorval::bench {

inline const std::vector<std::string> kSbYmodem{"sb", "-q", "-b", "-k"};
inline const std::vector<std::string> kRbYmodem{"rb", "-q", "-b"};
inline const std::vector<std::string> kSxXmodem1K{"sx", "-q", "-b", "-k"};
inline const std::vector<std::string> kRxXmodem1K{"rx", "-q", "-b", "-c", "send.bin"};

}  // namespace qorval::bench
