#include "analyser/library/port_library.h"

#include <dlfcn.h>

#include "analyser/string_printf.h"

namespace qorval::analyser {
namespace {

constexpr const char* kCannotLoad =
    "Could not load the port access library, Exiting application!\n%s";
constexpr const char* kLacksFunction =
    "The port access library %s has no function %s, Exiting application!";

}  // namespace

PortLibraryModule::~PortLibraryModule() {
    Release();
}

void PortLibraryModule::Release() {
    if (handle_ != nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
    }
    functions_ = {};
}

bool PortLibraryModule::Load(const std::string& fileName) {
    Release();
    error_.clear();
    // RTLD_LOCAL: the library's symbols resolve only through this handle, never against the
    // program's own QORVAL_* entry points.
    handle_ = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = dlerror();
        error_ = StringPrintf(kCannotLoad, why != nullptr ? why : fileName.c_str());
        return false;
    }
#define QORVAL_RESOLVE(name)                                                           \
    functions_.name = reinterpret_cast<decltype(functions_.name)>(dlsym(handle_, #name)); \
    if (functions_.name == nullptr) {                                                  \
        error_ = StringPrintf(kLacksFunction, fileName.c_str(), #name);                \
        Release();                                                                     \
        return false;                                                                  \
    }
    QORVAL_PORT_LIBRARY_FUNCTIONS(QORVAL_RESOLVE)
#undef QORVAL_RESOLVE
    return true;
}

}  // namespace qorval::analyser
