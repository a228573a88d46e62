#include "analyser/library/port_library.h"

#include <dlfcn.h>

#include <filesystem>
#include <vector>

#include "analyser/string_printf.h"

namespace qorval::analyser {
namespace {

constexpr const char* kCannotLoad =
    "Could not load the port access library, Exiting application!\n%s";
constexpr const char* kLacksFunction =
    "The port access library %s has no function %s, Exiting application!";

// Where a bare file name is looked for when the loader's own search does not find it (a
// sanitizer's dlopen searches for itself, without the program's run path): the installed
// program's lib folder and the build tree's library folder.
std::vector<std::filesystem::path> FallbackFolders() {
    std::vector<std::filesystem::path> folders;
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        folders.push_back(exe.parent_path().parent_path() / "lib");
    }
#ifdef QORVAL32_BUILD_DIR
    folders.emplace_back(QORVAL32_BUILD_DIR);
#endif
    return folders;
}

void* OpenLibrary(const std::string& fileName) {
    void* handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle != nullptr || fileName.find('/') != std::string::npos) {
        return handle;
    }
    for (const auto& folder : FallbackFolders()) {
        const auto path = folder / fileName;
        if (std::filesystem::exists(path)) {
            if (void* found = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
                return found;
            }
            return nullptr;  // there, but it cannot be loaded: report that reason
        }
    }
    // Report the search by name.
    return dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
}

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
    handle_ = OpenLibrary(fileName);
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
#define QORVAL_RESOLVE_OPTIONAL(name) \
    functions_.name = reinterpret_cast<decltype(functions_.name)>(dlsym(handle_, #name));
    QORVAL_PORT_LIBRARY_OPTIONAL_FUNCTIONS(QORVAL_RESOLVE_OPTIONAL)
#undef QORVAL_RESOLVE_OPTIONAL
    return true;
}

}  // namespace qorval::analyser
