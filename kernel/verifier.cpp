#include "kernel/verifier.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace qorval::kernel {
namespace {

std::mutex& HandlerLock() {
    static std::mutex lock;
    return lock;
}

ViolationHandler& CurrentHandler() {
    static ViolationHandler handler = [](const std::string& message) {
        std::fprintf(stderr, "request verifier: %s\n", message.c_str());
        std::abort();
    };
    return handler;
}

std::atomic<uint64_t> g_violations{0};

}  // namespace

ViolationHandler Verifier::SetHandler(ViolationHandler handler) {
    std::lock_guard guard(HandlerLock());
    ViolationHandler previous = std::move(CurrentHandler());
    CurrentHandler() = std::move(handler);
    return previous;
}

void Verifier::Report(const std::string& message) {
    g_violations.fetch_add(1, std::memory_order_relaxed);
    ViolationHandler handler;
    {
        std::lock_guard guard(HandlerLock());
        handler = CurrentHandler();
    }
    if (handler) {
        handler(message);
    }
}

uint64_t Verifier::ViolationCount() {
    return g_violations.load(std::memory_order_relaxed);
}

}  // namespace qorval::kernel
