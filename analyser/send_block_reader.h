// The send-file decoder. Each non-empty line of the send file is one block of bytes, where
// "#" and two hexadecimal digits stand for that byte, "##" for "#", "#" and one digit followed
// by a non-digit for that digit's value, and "#" before any other character for that character.
// A block holds at most `maximum` bytes (a longer line continues as the next block); the file
// is read cyclically, a last line without a line end running on into the first line.
#pragma once

#include <cstddef>
#include <cstdint>

#include "analyser/text_file.h"

namespace qorval::analyser {

// Reads the next block into buffer (at least `maximum` bytes) and returns its length. Gives 0
// when a whole pass over the file finds no byte (empty file, only empty lines, unreadable).
size_t ReadSendBlock(CharSource& source, size_t maximum, uint8_t* buffer);

// An in-memory source, for the decoder's tests and the fuzzer.
class MemorySource final : public CharSource {
  public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    int Get() override { return position_ < size_ ? data_[position_++] : -1; }
    bool Rewind() override {
        position_ = 0;
        return true;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

}  // namespace qorval::analyser
