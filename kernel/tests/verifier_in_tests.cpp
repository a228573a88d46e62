// Linked into the test programs of the kernel model and the driver: turns a verifier
// violation into a failure of the test that is running, instead of an abort.

#include <gtest/gtest.h>

#include "kernel/verifier.h"

namespace {

// Installed before main runs, so no test can slip through with the aborting default.
const bool g_installed = [] {
    qorval::kernel::Verifier::SetHandler(
        [](const std::string& message) { ADD_FAILURE() << "request verifier: " << message; });
    return true;
}();

}  // namespace
