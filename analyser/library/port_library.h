// The port access library loaded by its file name at start: every QORVAL_* function is looked
// up once, and the program's QORVAL_* calls go through the table (port_library_calls.cpp), so
// the analyser runs against any library that keeps the contract of portaccess/qorval32.h.
#pragma once

#include <string>

#include "portaccess/qorval32.h"

namespace qorval::analyser {

// Every function of the contract: X(name).
#define QORVAL_PORT_LIBRARY_FUNCTIONS(X) \
    X(QORVAL_GetSystemInfo)              \
    X(QORVAL_PortOpen)                   \
    X(QORVAL_PortClose)                  \
    X(QORVAL_GetPortInfo)                \
    X(QORVAL_GetPortState)               \
    X(QORVAL_SetPortState)               \
    X(QORVAL_GetData)                    \
    X(QORVAL_PutData)                    \
    X(QORVAL_GetBufferCount)             \
    X(QORVAL_ResetBuffers)               \
    X(QORVAL_GetModemControl)            \
    X(QORVAL_SetModemControl)            \
    X(QORVAL_SetNodeAddress)             \
    X(QORVAL_TransmitCommChar)

// Functions a library of an earlier release may lack: a missing one is null, and the call
// falls back on what the library has (QORVAL_GetDataTimed: QORVAL_GetData without a time).
#define QORVAL_PORT_LIBRARY_OPTIONAL_FUNCTIONS(X) X(QORVAL_GetDataTimed)

struct PortLibraryFunctions {
#define QORVAL_DECLARE_POINTER(name) decltype(&::name) name = nullptr;
    QORVAL_PORT_LIBRARY_FUNCTIONS(QORVAL_DECLARE_POINTER)
    QORVAL_PORT_LIBRARY_OPTIONAL_FUNCTIONS(QORVAL_DECLARE_POINTER)
#undef QORVAL_DECLARE_POINTER
};

class PortLibraryModule {
  public:
    // The file name the program loads: the library's run-time name (its SONAME), so the
    // analyser takes a library of the interface version it was built for and needs no
    // development link. The dynamic loader's search path finds it (the build tree and the
    // installed program carry its folder in their run path).
    static constexpr const char* kFileName = "libqorval32.so.1";

    PortLibraryModule() = default;
    ~PortLibraryModule();  // releases the library
    PortLibraryModule(const PortLibraryModule&) = delete;
    PortLibraryModule& operator=(const PortLibraryModule&) = delete;

    // Loads the library and finds every function; false with the message box text in Error()
    // when it cannot be loaded or lacks a function that is not optional (nothing stays loaded
    // then).
    [[nodiscard]] bool Load(const std::string& fileName = kFileName);
    const std::string& Error() const { return error_; }
    const PortLibraryFunctions& Functions() const { return functions_; }
    bool Loaded() const { return handle_ != nullptr; }

  private:
    void Release();

    void* handle_ = nullptr;
    PortLibraryFunctions functions_;
    std::string error_;
};

// The table the program's QORVAL_* calls use; nullptr makes every call fail with
// QORVAL_GENERAL_ERROR (no library loaded).
void UsePortLibrary(const PortLibraryFunctions* functions);

}  // namespace qorval::analyser
