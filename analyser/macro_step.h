// One compiled statement of a macro programme.
#pragma once

#include <cstdint>
#include <string>

namespace qorval::analyser {

enum MacroOpcode : uint16_t {
    kOpUnfilled = 0,
    kOpStop = 1,
    kOpGet = 2,
    kOpSend = 3,
    kOpSkip = 4,
    kOpIfEqual = 5,
    kOpIfNotEqual = 6,
    kOpIfLess = 7,
    kOpIfGreater = 8,
    kOpIfLessOrEqual = 9,
    kOpIfGreaterOrEqual = 10,
    kOpGoto = 11,
    kOpResetBuffers = 12,
    kOpTransmitCommChar = 13,
    kOpSetModem = 14,
    kOpSetPort = 15,
    kOpSetNode = 16,
    kOpCopy = 17,
};

// COPY directions.
enum : int16_t { kCopyReceiveToTransmit = 1, kCopyTransmitToReceive = 2 };

// SEND keeps its block state in operand2 while it runs.
enum : int16_t { kSendReadNewBlock = -1, kSendBlockHeld = 0 };

struct MacroStep {
    std::string label;   // label defined on this statement, empty if none
    std::string target;  // label named by GOTO or an IF statement, empty if none
    uint16_t opcode = kOpUnfilled;
    int16_t operand1 = -1;     // count, offset, mask, variable, character, address or buffer code
    int16_t operand2 = -1;     // compare value, control values or state value; SEND block state
    int16_t counter = 0;       // repetitions left (GET, SEND); modem word scratch (SETMODEM)
    int32_t targetIndex = -1;  // step the target names; SEND: length of the held block
};

}  // namespace qorval::analyser
