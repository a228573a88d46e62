#pragma once
// The request verifier: the kernel model checks, as a driver verifier would, that every
// request is completed exactly once, never while it still sits on a queue, and that a
// dispatch routine returning STATUS_PENDING marked the request pending first (and that a
// request not marked pending was completed before its dispatch routine returned).
//
// A violation is reported to one process-wide handler. The default handler writes the
// message to stderr and aborts, as a bug check would; test programs install a handler that
// fails the running test instead (see kernel/tests/verifier_in_tests.cpp).

#include <atomic>
#include <functional>
#include <string>

namespace qorval::kernel {

using ViolationHandler = std::function<void(const std::string& message)>;

class Verifier {
  public:
    // Replaces the handler; returns the previous one.
    static ViolationHandler SetHandler(ViolationHandler handler);

    // Reports one violation through the handler and counts it.
    static void Report(const std::string& message);

    // Number of violations reported since the process started.
    static uint64_t ViolationCount();
};

}  // namespace qorval::kernel
