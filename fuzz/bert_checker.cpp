// Received bytes are outside input to the tester's checker: whatever arrives, checking it in one
// piece or in two must give the same counts, and no more bytes can be checked than arrived.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "bert/checker.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const size_t split = data[0] % size;
    qorval::bert::BertChecker whole, pieces;
    qorval::bert::BertCounters a, b;
    whole.Check(data, size, a);
    pieces.Check(data, split, b);
    pieces.Check(data + split, size - split, b);
    if (a.bytesChecked.load() != b.bytesChecked.load() ||
        a.bitErrors.load() != b.bitErrors.load() || a.syncLosses.load() != b.syncLosses.load() ||
        whole.State() != pieces.State() || a.bytesChecked.load() > size) {
        std::abort();
    }
    return 0;
}
