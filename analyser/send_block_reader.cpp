#include "analyser/send_block_reader.h"

#include <utility>

namespace qorval::analyser {
namespace {

int HexValue(int c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Characters of the send file in order, wrapping at its end. A character looked at but not
// used by a "#" sequence is given back and taken normally next.
class CyclicReader {
  public:
    explicit CyclicReader(CharSource& source) : source_(source) {}

    // The next character, or -1 when a whole pass over the file since the last wrap produced
    // no byte (an empty file, or one of empty lines, would otherwise be read for ever).
    int Get() {
        if (pushedBack_ >= 0) {
            return std::exchange(pushedBack_, -1);
        }
        const int c = source_.Get();
        if (c >= 0) {
            return c;
        }
        if ((wrapped_ && !producedSinceWrap_) || !source_.Rewind()) {
            return -1;
        }
        wrapped_ = true;
        producedSinceWrap_ = false;
        return source_.Get();
    }
    void PutBack(int c) { pushedBack_ = c; }
    void Produced() { producedSinceWrap_ = true; }

  private:
    CharSource& source_;
    int pushedBack_ = -1;
    bool wrapped_ = false;
    bool producedSinceWrap_ = false;
};

}  // namespace

size_t ReadSendBlock(CharSource& source, size_t maximum, uint8_t* buffer) {
    CyclicReader reader(source);
    size_t n = 0;
    while (n < maximum) {
        int c = reader.Get();
        if (c < 0) {
            break;
        }
        if (c == '\n') {
            if (n > 0) {
                break;
            }
            continue;
        }
        if (c == '#') {
            const int first = reader.Get();
            const int high = HexValue(first);
            if (high < 0) {
                if (first < 0) {
                    break;
                }
                c = first;  // "##" or "#" before a non-digit: that character alone
            } else {
                const int second = reader.Get();
                const int low = HexValue(second);
                if (low < 0) {
                    if (second >= 0) {
                        reader.PutBack(second);
                    }
                    c = high;
                } else {
                    c = high * 16 + low;
                }
            }
        }
        buffer[n++] = static_cast<uint8_t>(c);
        reader.Produced();
    }
    return n;
}

}  // namespace qorval::analyser
