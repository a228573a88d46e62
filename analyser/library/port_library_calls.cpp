// The program's QORVAL_* entry points: each calls the loaded library's function, or fails with
// QORVAL_GENERAL_ERROR while no library is in use.
#include <atomic>

#include "analyser/library/port_library.h"

namespace qorval::analyser {
namespace {

std::atomic<const PortLibraryFunctions*> g_functions{nullptr};

template <typename Function, typename... Args>
uint32_t Call(Function PortLibraryFunctions::*member, Args... args) {
    const PortLibraryFunctions* functions = g_functions.load(std::memory_order_acquire);
    if (functions == nullptr || functions->*member == nullptr) {
        return QORVAL_GENERAL_ERROR;
    }
    return (functions->*member)(args...);
}

}  // namespace

void UsePortLibrary(const PortLibraryFunctions* functions) {
    g_functions.store(functions, std::memory_order_release);
}

}  // namespace qorval::analyser

using qorval::analyser::Call;
using qorval::analyser::g_functions;
using qorval::analyser::PortLibraryFunctions;

extern "C" {

uint32_t QORVAL_GetSystemInfo(SystemInfo* info) {
    return Call(&PortLibraryFunctions::QORVAL_GetSystemInfo, info);
}
uint32_t QORVAL_PortOpen(uint16_t driverType, uint16_t portNumber, QORVAL_HANDLE* handle) {
    return Call(&PortLibraryFunctions::QORVAL_PortOpen, driverType, portNumber, handle);
}
uint32_t QORVAL_PortClose(QORVAL_HANDLE handle) {
    return Call(&PortLibraryFunctions::QORVAL_PortClose, handle);
}
uint32_t QORVAL_GetPortInfo(QORVAL_HANDLE handle, PortInfo* info) {
    return Call(&PortLibraryFunctions::QORVAL_GetPortInfo, handle, info);
}
uint32_t QORVAL_GetPortState(QORVAL_HANDLE handle, PortState* state) {
    return Call(&PortLibraryFunctions::QORVAL_GetPortState, handle, state);
}
uint32_t QORVAL_SetPortState(QORVAL_HANDLE handle, const PortState* state) {
    return Call(&PortLibraryFunctions::QORVAL_SetPortState, handle, state);
}
uint32_t QORVAL_GetData(QORVAL_HANDLE handle, uint8_t* buffer, uint16_t size, uint32_t* length) {
    return Call(&PortLibraryFunctions::QORVAL_GetData, handle, buffer, size, length);
}
uint32_t QORVAL_GetDataTimed(QORVAL_HANDLE handle, uint8_t* buffer, uint16_t size,
                             uint32_t* length, uint64_t* arrivalNs) {
    const PortLibraryFunctions* functions = g_functions.load(std::memory_order_acquire);
    if (functions != nullptr && functions->QORVAL_GetDataTimed == nullptr && arrivalNs != nullptr) {
        *arrivalNs = 0;  // a library without the call: the frame comes without its time
        return Call(&PortLibraryFunctions::QORVAL_GetData, handle, buffer, size, length);
    }
    return Call(&PortLibraryFunctions::QORVAL_GetDataTimed, handle, buffer, size, length,
                arrivalNs);
}
uint32_t QORVAL_PutData(QORVAL_HANDLE handle, const uint8_t* data, uint32_t length) {
    return Call(&PortLibraryFunctions::QORVAL_PutData, handle, data, length);
}
uint32_t QORVAL_GetBufferCount(QORVAL_HANDLE handle, uint16_t* framesWaiting,
                               uint16_t* txBuffersFree) {
    return Call(&PortLibraryFunctions::QORVAL_GetBufferCount, handle, framesWaiting,
                txBuffersFree);
}
uint32_t QORVAL_ResetBuffers(QORVAL_HANDLE handle, uint16_t mask) {
    return Call(&PortLibraryFunctions::QORVAL_ResetBuffers, handle, mask);
}
uint32_t QORVAL_GetModemControl(QORVAL_HANDLE handle, uint16_t* modemControl) {
    return Call(&PortLibraryFunctions::QORVAL_GetModemControl, handle, modemControl);
}
uint32_t QORVAL_SetModemControl(QORVAL_HANDLE handle, uint16_t modemControl) {
    return Call(&PortLibraryFunctions::QORVAL_SetModemControl, handle, modemControl);
}
uint32_t QORVAL_SetNodeAddress(QORVAL_HANDLE handle, uint8_t address) {
    return Call(&PortLibraryFunctions::QORVAL_SetNodeAddress, handle, address);
}
uint32_t QORVAL_TransmitCommChar(QORVAL_HANDLE handle, uint8_t character) {
    return Call(&PortLibraryFunctions::QORVAL_TransmitCommChar, handle, character);
}

}  // extern "C"
