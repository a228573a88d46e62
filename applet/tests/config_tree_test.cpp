// The tree's labels and what choosing an item selects, and the enable rules behind the pages.
#include "applet/config_tree.h"

#include <gtest/gtest.h>

#include "applet/model_edits.h"
#include "applet/page_enables.h"
#include "applet/tests/full_model.h"

namespace qorval::applet {
namespace {

// Fendar5 with a two-channel Hazel at 0x238 and a one-channel Juniper at 0x280 (disabled
// port), then a disabled Wyvel32 with one Pine.
DriverEntry Driver(const char* name, const char* description, int32_t start, int32_t ports,
                   int32_t type) {
    DriverEntry driver;
    driver.name = name;
    driver.description = description;
    driver.Start = start;
    driver.port_count = ports;
    driver.max_ports = DriverInfo(type).max_ports;
    driver.driver_type = type;
    return driver;
}

ConfigModel TwoDrivers() {
    ConfigModel model = testing::FullModel(0);
    DriverEntry& scc = model.driver(model.driver_count++);
    scc = Driver("Fendar5", "SCC SDLC/HDLC", kStartEnabled, 3, kFendar5);
    for (int p = 0; p < 3; ++p) {
        PortEntry& port = scc.ports[static_cast<size_t>(p)];
        ApplyNewPortDefaults(port, kFendar5);
        port.name = PortKeyName(p + 1);
        port.Card = p < 2 ? kHazel : kJuniper;
        port.BaseIO = p < 2 ? 0x238 : 0x280;
        port.Interrupt = p < 2 ? 5 : 7;
        port.Enabled = p < 2 ? 1 : 0;
    }
    DriverEntry& sync = model.driver(model.driver_count++);
    sync = Driver("Wyvel32", "16C32 SDLC/HDLC", kStartDisabled, 1, kWyvel32);
    ApplyNewPortDefaults(sync.ports[0], kWyvel32);
    sync.ports[0].name = "Port001";
    sync.ports[0].Enabled = 1;
    return model;
}

TEST(ConfigTree, LabelsDriversCardsAndPortsInModelOrder) {
    const std::vector<TreeNode> roots = BuildConfigTree(TwoDrivers());
    ASSERT_EQ(roots.size(), 2u);
    EXPECT_EQ(roots[0].label, "SCC SDLC/HDLC ");
    EXPECT_EQ(roots[1].label, "16C32 SDLC/HDLC (Disabled)");
    ASSERT_EQ(roots[0].children.size(), 2u);
    EXPECT_EQ(roots[0].children[0].label, "Card 1 (Hazel)");
    EXPECT_EQ(roots[0].children[1].label, "Card 2 (Juniper)");
    EXPECT_EQ(roots[0].children[0].children[1].label,
              "Port 2 (Port002 - Base:238 - IRQ:05)");
    EXPECT_EQ(roots[0].children[1].children[0].label,
              "Port 1 (Port003 - Base:280 - IRQ:07 - Disabled)");
    EXPECT_EQ(roots[1].children[0].children[0].label, "Port 1 (Port001 - Base:300 - IRQ:03)");
    EXPECT_EQ(roots[0].children[1].children[0].data, 3);
    EXPECT_EQ(roots[1].data, 1);
    EXPECT_EQ(roots[0].children[0].image, kImageCard);
}

TEST(ConfigTree, UnknownCardAndNoDrivers) {
    ConfigModel model = TwoDrivers();
    model.driver(1).ports[0].Card = 22;
    EXPECT_EQ(BuildConfigTree(model)[1].children[0].label, "Card 1 (Unknown Card Type)");
    EXPECT_TRUE(BuildConfigTree(ConfigModel{}).empty());
}

TEST(ConfigTree, ChoosingAnItemSetsTheLevelDriverAndPort) {
    ConfigModel model = TwoDrivers();
    const std::vector<TreeNode> roots = BuildConfigTree(model);
    ApplyTreeChoice(model, roots, {0, 1, 0});
    EXPECT_EQ(model.selection_level, kSelectPort);
    EXPECT_EQ(model.selected_port, 2);
    ApplyTreeChoice(model, roots, {1, 0});
    EXPECT_EQ(model.selection_level, kSelectCard);
    EXPECT_EQ(model.selected_driver, 1);
    EXPECT_EQ(model.selected_port, 0);
    ApplyTreeChoice(model, roots, {0, 1});
    EXPECT_EQ(model.selected_driver, 0);
    EXPECT_EQ(model.selected_port, 2);
    ApplyTreeChoice(model, roots, {0});
    EXPECT_EQ(model.selection_level, kSelectDriver);
    EXPECT_EQ(model.selected_port, 0);
}

TEST(ConfigTree, BuilderSelectsThePortOfTheSelectionOrNothing) {
    ConfigModel model = TwoDrivers();
    model.selected_port = 2;
    EXPECT_EQ(SelectTreeItemOfSelection(model, BuildConfigTree(model)),
              (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(model.selection_level, kSelectPort);
    ConfigModel empty;
    EXPECT_TRUE(SelectTreeItemOfSelection(empty, {}).empty());
    EXPECT_EQ(empty.selection_level, kSelectNothing);
}

TEST(ConfigTree, APortNameWithoutANumberSelectsThePortInRange) {
    ConfigModel model = TwoDrivers();
    model.driver(0).ports[1].name = "PortX";
    const std::vector<TreeNode> roots = BuildConfigTree(model);
    ApplyTreeChoice(model, roots, {0, 0, 1});
    EXPECT_EQ(model.selected_port, 0);  // not -1, which would index outside the driver
}

TEST(AddDriverMenu, GraysConfiguredDriversMonosyncAndOnWin9xTheOthers) {
    ConfigModel model = TwoDrivers();
    auto items = AddDriverMenu(model);
    EXPECT_FALSE(items[kHestabe5].grayed);
    EXPECT_TRUE(items[kFendar5].grayed);
    EXPECT_TRUE(items[kGorlin5].grayed);
    EXPECT_TRUE(items[kWyvel32].grayed);
    model = ConfigModel{};
    model.platform_win9x = true;
    items = AddDriverMenu(model);
    EXPECT_EQ(items[kFendar5].text, "SCC SDLC/HDLC");
    EXPECT_FALSE(items[kFendar5].grayed);
    EXPECT_TRUE(items[kHestabe5].grayed && items[kWyvel32].grayed);
}

TEST(PageEnables, NothingButAddDriverWithoutDrivers) {
    const ConfigModel model;
    const DriverInfoEnables info = DriverInfoEnablesOf(model);
    EXPECT_TRUE(info.add_driver);
    EXPECT_FALSE(info.remove_driver || info.add_card || info.remove_card || info.driver_enabled ||
                 info.port_enabled);
    EXPECT_FALSE(SystemResourcesEnablesOf(model).base);
    EXPECT_FALSE(BufferInfoEnablesOf(model).buffers);
}

TEST(PageEnables, RowanCardCannotBeRemovedNorMovedAndThreeDriversStopAdding) {
    ConfigModel model = testing::FullModel(3);
    model.selection_level = kSelectPort;
    EXPECT_FALSE(DriverInfoEnablesOf(model).add_driver);
    model.selected().Card = kRowan;
    EXPECT_FALSE(DriverInfoEnablesOf(model).remove_driver);
    EXPECT_FALSE(SystemResourcesEnablesOf(model).base);
    model.selection_level = kSelectDriver;
    EXPECT_FALSE(DriverInfoEnablesOf(model).remove_card);  // a card is not selected
    EXPECT_FALSE(SystemResourcesEnablesOf(model).interrupt);
}

}  // namespace
}  // namespace qorval::applet
