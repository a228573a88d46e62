// The macro interpreter: one pass runs steps until a GET, SEND or STOP ends it.
#include <algorithm>
#include <cstring>
#include <utility>

#include "analyser/analyser_app.h"
#include "analyser/port_state_variable.h"

namespace qorval::analyser {
namespace {

constexpr const char* kStopped = "Macro execution halted via STOP command!";
constexpr const char* kSendFailed = "Transmit error on SEND - macro execution halted!";

bool Compare(uint16_t opcode, uint8_t byte, int16_t value) {
    switch (opcode) {
        case kOpIfEqual:
            return byte == value;
        case kOpIfNotEqual:
            return byte != value;
        case kOpIfLess:
            return byte < value;
        case kOpIfGreater:
            return byte > value;
        case kOpIfLessOrEqual:
            return byte <= value;
        case kOpIfGreaterOrEqual:
            return byte >= value;
        default:
            return false;
    }
}

}  // namespace

const uint8_t* CAnalyserApp::RunMacro(bool& sent, uint32_t& length) {
    sent = false;
    length = 0;
    if (stepIndex_ == -1) {
        stepIndex_ = 0;
        stepEntered_ = true;
    }
    auto advance = [&] {
        ++stepIndex_;
        stepEntered_ = true;
    };
    auto jump = [&](const MacroStep& step) {
        stepIndex_ = step.targetIndex;
        stepEntered_ = true;
    };
    auto stop = [&] {
        macroMode_ = false;
        transmitEnabled_ = false;
        RefreshMenu();
        CloseSendFile();
        ShowMessage(kStopped);
    };
    for (uint32_t executed = 0; executed < kMaxStepsPerPass; ++executed) {
        // Every programme ends in STOP and every target is resolved, so the index stays in
        // range; should it not, the macro stops rather than read outside the list.
        if (stepIndex_ < 0 || static_cast<size_t>(stepIndex_) >= steps_.size()) {
            stop();
            return nullptr;
        }
        MacroStep& step = steps_[static_cast<size_t>(stepIndex_)];
        const bool entered = std::exchange(stepEntered_, false);
        switch (step.opcode) {
            case kOpStop:
                stop();
                return nullptr;
            case kOpGet: {
                if (entered) {
                    step.counter = step.operand1;
                }
                testBuffer_ = rxFrame_.data();
                testBufferSize_ = rxFrame_.size();
                if (step.counter == 0) {
                    advance();
                    break;
                }
                const int32_t received = ReceiveFrame(portInfo_.maxRxFrame, rxFrame_.data());
                if (received < 0) {
                    length = static_cast<uint32_t>(-received);
                    return rxFrame_.data();
                }
                rxLength_ = static_cast<uint32_t>(received);
                if (received != 0) {
                    --step.counter;
                }
                length = rxLength_;
                return rxFrame_.data();
            }
            case kOpSend: {
                if (entered) {
                    if (step.operand1 == 0) {
                        step.counter = 1;
                        step.operand2 = kSendBlockHeld;
                        step.targetIndex = static_cast<int32_t>(txLength_);
                    } else {
                        step.counter = step.operand1;
                        step.operand2 = kSendReadNewBlock;
                    }
                }
                testBuffer_ = txFrame_.data();
                testBufferSize_ = txFrame_.size();
                if (step.counter == 0) {
                    advance();
                    break;
                }
                if (step.operand2 == kSendReadNewBlock) {
                    step.targetIndex = static_cast<int32_t>(
                        SendBlockReader(portInfo_.maxTxFrame, txFrame_.data()));
                }
                // The held length never exceeds the buffer it was read into.
                txLength_ = static_cast<uint32_t>(
                    std::clamp<int64_t>(step.targetIndex, 0, int64_t(txFrame_.size())));
                sent = true;
                length = txLength_;
                if (length != 0) {
                    uint16_t waiting = 0;
                    uint16_t txFree = 0;
                    const uint32_t counted = QORVAL_GetBufferCount(portHandle_, &waiting, &txFree);
                    if (PortGone(counted)) {
                        length = 0;  // nothing went; the port's going has been said
                    } else if (counted == QORVAL_OK && txFree != 0) {
                        const uint32_t put = QORVAL_PutData(portHandle_, txFrame_.data(), length);
                        if (PortGone(put)) {
                            length = 0;
                        } else if (put == QORVAL_OK) {
                            NotifyFrame({txFrame_.data(), length}, true, QORVAL_OK,
                                        wallClock_());
                            --step.counter;
                            step.operand2 = kSendReadNewBlock;
                        } else {
                            macroMode_ = false;
                            transmitEnabled_ = false;
                            RefreshMenu();
                            CloseSendFile();
                            length = ReplaceTxFrame(kSendFailed);
                        }
                    } else {
                        // Offered again at the next pass. Nothing went out, so nothing is
                        // shown or logged: the block is, once, when it goes.
                        step.operand2 = kSendBlockHeld;
                        length = 0;
                    }
                }
                return txFrame_.data();
            }
            case kOpSkip:
                for (int32_t i = 0; i < step.operand1; ++i) {
                    txLength_ = static_cast<uint32_t>(
                        SendBlockReader(portInfo_.maxTxFrame, txFrame_.data()));
                }
                advance();
                break;
            case kOpIfEqual:
            case kOpIfNotEqual:
            case kOpIfLess:
            case kOpIfGreater:
            case kOpIfLessOrEqual:
            case kOpIfGreaterOrEqual: {
                // A test with no buffer yet, or outside it, is not satisfied.
                const bool inside = testBuffer_ != nullptr && step.operand1 >= 0 &&
                                    static_cast<size_t>(step.operand1) < testBufferSize_;
                if (inside && Compare(step.opcode, testBuffer_[step.operand1], step.operand2)) {
                    jump(step);
                } else {
                    advance();
                }
                break;
            }
            case kOpGoto:
                jump(step);
                break;
            case kOpResetBuffers:
                (void)QORVAL_ResetBuffers(portHandle_, static_cast<uint16_t>(step.operand1));
                advance();
                break;
            case kOpTransmitCommChar:
                (void)QORVAL_TransmitCommChar(portHandle_, static_cast<uint8_t>(step.operand1));
                advance();
                break;
            case kOpSetModem: {
                auto word = static_cast<uint16_t>(step.counter);
                (void)QORVAL_GetModemControl(portHandle_, &word);
                step.counter = static_cast<int16_t>((step.operand2 & step.operand1) |
                                                    (static_cast<int16_t>(word) & ~step.operand1));
                (void)QORVAL_SetModemControl(portHandle_, static_cast<uint16_t>(step.counter));
                advance();
                break;
            }
            case kOpSetPort:
                (void)QORVAL_GetPortState(portHandle_, &portStateScratch_);
                SetPortStateVariable(portStateScratch_, step.operand1, step.operand2);
                (void)QORVAL_SetPortState(portHandle_, &portStateScratch_);
                advance();
                break;
            case kOpSetNode:
                (void)QORVAL_SetNodeAddress(portHandle_, static_cast<uint8_t>(step.operand1));
                advance();
                break;
            case kOpCopy:
                if (step.operand1 == kCopyReceiveToTransmit) {
                    txLength_ = static_cast<uint32_t>(
                        std::min({size_t{rxLength_}, rxFrame_.size(), txFrame_.size()}));
                    std::memcpy(txFrame_.data(), rxFrame_.data(), txLength_);
                } else {
                    rxLength_ = static_cast<uint32_t>(
                        std::min({size_t{txLength_}, txFrame_.size(), rxFrame_.size()}));
                    std::memcpy(rxFrame_.data(), txFrame_.data(), rxLength_);
                }
                advance();
                break;
            default:  // an unfilled step
                advance();
                break;
        }
    }
    return nullptr;
}

}  // namespace qorval::analyser
