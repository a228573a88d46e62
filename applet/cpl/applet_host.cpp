#include "applet/cpl/applet_host.h"

#include <dlfcn.h>

#include <filesystem>

#include "applet/cpl_protocol.h"

namespace qorval::applet {

namespace {

void* OpenLibrary(const std::string& library, std::string& why) {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path beside = self.parent_path() / library;
        if (void* handle = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            return handle;
        }
        if (std::filesystem::exists(beside)) {
            why = ::dlerror();
            return nullptr;
        }
    }
    void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        why = ::dlerror();
    }
    return handle;
}

}  // namespace

int RunAppletHost(const std::string& library, std::ostream& err) {
    std::string why;
    void* handle = OpenLibrary(library, why);
    if (handle == nullptr) {
        err << "qorval: cannot load " << library << ": " << why << "\n";
        return 1;
    }
    auto entry = reinterpret_cast<CplAppletEntry>(::dlsym(handle, "CPlApplet"));
    if (entry == nullptr) {
        err << "qorval: " << library << " exports no CPlApplet\n";
        ::dlclose(handle);
        return 1;
    }
    int status = 0;
    if (entry(nullptr, kCplInit, 0, 0) == 0) {
        err << "qorval: " << library << " refused to initialise\n";
        status = 1;
    } else {
        const long count = entry(nullptr, kCplGetCount, 0, 0);
        for (long applet = 0; applet < count; ++applet) {
            NewCplInfo info{};
            (void)entry(nullptr, kCplInquire, applet, reinterpret_cast<intptr_t>(&info));
            (void)entry(nullptr, kCplNewInquire, applet, reinterpret_cast<intptr_t>(&info));
            if (entry(nullptr, kCplDblClk, applet, info.lData) != 0) {
                status = 1;  // the applet could not run (it said why)
            }
            (void)entry(nullptr, kCplStop, applet, info.lData);
        }
        (void)entry(nullptr, kCplExit, 0, 0);
    }
    // The library stays loaded: Qt's resources may outlive the last message.
    return status;
}

}  // namespace qorval::applet
