// Loading the port access library by its file name: the real library, a file that is not
// there, and a library that lacks a function of the contract.
#include <gtest/gtest.h>

#include "analyser/library/port_library.h"

namespace qorval::analyser {
namespace {

TEST(PortLibraryModule, LoadsTheRealLibraryAndCallsThroughIt) {
    PortLibraryModule module;
    ASSERT_TRUE(module.Load(QORVAL32_LIBRARY_FILE)) << module.Error();
    EXPECT_TRUE(module.Loaded());
    // A closed handle is refused by the library itself, not by a missing pointer.
    EXPECT_EQ(module.Functions().QORVAL_PortClose(0), QORVAL_INVALID_HANDLE);
    EXPECT_NE(module.Functions().QORVAL_TransmitCommChar, nullptr);
}

TEST(PortLibraryModule, AFileThatIsNotThereIsReportedAndLeavesNothingLoaded) {
    PortLibraryModule module;
    EXPECT_FALSE(module.Load("/nonexistent/libqorval32.so"));
    EXPECT_FALSE(module.Loaded());
    EXPECT_TRUE(module.Error().starts_with(
        "Could not load the port access library, Exiting application!\n"))
        << module.Error();
    EXPECT_NE(module.Error().find("/nonexistent/libqorval32.so"), std::string::npos);
}

TEST(PortLibraryModule, ALibraryLackingAFunctionNamesIt) {
    PortLibraryModule module;
    EXPECT_FALSE(module.Load(PARTIAL_LIBRARY_FILE));
    EXPECT_FALSE(module.Loaded());
    EXPECT_EQ(module.Error(), std::string("The port access library ") + PARTIAL_LIBRARY_FILE +
                                  " has no function QORVAL_PortOpen, Exiting application!");
    EXPECT_EQ(module.Functions().QORVAL_GetSystemInfo, nullptr);
}

}  // namespace
}  // namespace qorval::analyser

namespace qorval::analyser {
namespace {

TEST(PortLibraryCalls, GoThroughTheLoadedLibraryAndFailWithoutOne) {
    UsePortLibrary(nullptr);
    EXPECT_EQ(QORVAL_PortClose(0), QORVAL_GENERAL_ERROR);
    PortLibraryModule module;
    ASSERT_TRUE(module.Load(QORVAL32_LIBRARY_FILE)) << module.Error();
    UsePortLibrary(&module.Functions());
    EXPECT_EQ(QORVAL_PortClose(0), QORVAL_INVALID_HANDLE);
    UsePortLibrary(nullptr);
}

}  // namespace
}  // namespace qorval::analyser
