// The driver, card and port tree every property page shows, as labels and item data, and
// what choosing one of its items selects in the model.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "applet/config_model.h"

namespace qorval::applet {

// Images of the tree's image list.
enum TreeImage : int32_t { kImageDriver = 0, kImageCard = 1, kImagePort = 2 };

struct TreeNode {
    std::string label;
    int32_t image = kImageDriver;
    int32_t data = 0;  // driver: its index; port: the number in its key name; card: 0
    std::vector<TreeNode> children;
};

// The label shown, disabled, when no driver is defined.
inline constexpr const char* kNoDriversLabel = "No drivers defined.";

// One root per driver with its cards and their ports; empty when the model has no driver.
std::vector<TreeNode> BuildConfigTree(const ConfigModel& model);

// Where the tree builder puts the selection: the path (driver, card, port index within the
// card) of the selected port's item, or an empty path when it has none. Sets the level to 3
// when the item exists, else to 0.
std::vector<int> SelectTreeItemOfSelection(ConfigModel& model, const std::vector<TreeNode>& roots);

// Applies the choice of the item at `path` (indexes from the roots down) to the selection.
void ApplyTreeChoice(ConfigModel& model, const std::vector<TreeNode>& roots,
                     const std::vector<int>& path);

}  // namespace qorval::applet
