#include "terminal/transfer_line.h"

#include <thread>

#include "portaccess/qorval_port.h"
#include "portaccess/tick_count.h"
#include "terminal/protocol.h"

namespace qorval::terminal {

uint32_t NowMs() {
    return qorval::GetTickCount();
}

uint32_t ElapsedSeconds(uint32_t start_ms) {
    return (NowMs() - start_ms) / 1000;
}

void SendCancelBytes(Qorval_Port& port) {
    for (int i = 0; i < kCancelBytes; ++i) {
        port.PutByte(kCan);
    }
}

void NothingArrived() {
    std::this_thread::yield();
}

}  // namespace qorval::terminal
