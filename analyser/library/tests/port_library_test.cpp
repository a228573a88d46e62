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

namespace qorval::analyser {
namespace {

TEST(PortLibraryCalls, AnEarlierLibraryWithoutTimedReadsGivesFramesWithoutTheirTime) {
    PortLibraryFunctions earlier;  // has QORVAL_GetData, lacks QORVAL_GetDataTimed
    earlier.QORVAL_GetData = [](QORVAL_HANDLE, uint8_t* buffer, uint16_t, uint32_t* length) {
        buffer[0] = 0x7E;
        *length = 1;
        return uint32_t{QORVAL_CRC_ERROR};
    };
    UsePortLibrary(&earlier);
    uint8_t frame[4] = {};
    uint32_t length = 0;
    uint64_t arrival = 99;
    EXPECT_EQ(QORVAL_GetDataTimed(1, frame, sizeof frame, &length, &arrival), QORVAL_CRC_ERROR);
    EXPECT_EQ(length, 1u);
    EXPECT_EQ(frame[0], 0x7E);
    EXPECT_EQ(arrival, 0u) << "no time: the analyser takes its own";
    UsePortLibrary(nullptr);
}

TEST(PortLibraryModule, TheRealLibraryHasTimedReads) {
    PortLibraryModule module;
    ASSERT_TRUE(module.Load(QORVAL32_LIBRARY_FILE)) << module.Error();
    EXPECT_NE(module.Functions().QORVAL_GetDataTimed, nullptr);
    PortLibraryModule partial;
    EXPECT_FALSE(partial.Load(PARTIAL_LIBRARY_FILE));  // still refused for what it must have
}

}  // namespace
}  // namespace qorval::analyser
