#include "applet/config_tree.h"

#include "applet/text_util.h"

namespace qorval::applet {

namespace {

std::string CardLabel(int number, int32_t card) {
    const std::string_view model = CardModelName(card);
    return Format("Card %d (%s)", number,
                  model.empty() ? "Unknown Card Type" : std::string(model).c_str());
}

std::string PortLabel(int number_in_card, const PortEntry& port) {
    return Format("Port %d (%s - Base:%03X - IRQ:%02d%s)", number_in_card, port.name.c_str(),
                  static_cast<unsigned>(port.BaseIO), port.Interrupt,
                  port.Enabled == 0 ? " - Disabled" : "");
}

// The number after "Port" in a key name ("Port002" gives 2).
int32_t PortNumberOfName(const std::string& name) {
    return name.size() > 4 ? ReadDecimal(std::string_view(name).substr(4, 3)) : 0;
}

const TreeNode* NodeAt(const std::vector<TreeNode>& roots, const std::vector<int>& path,
                       size_t depth) {
    const std::vector<TreeNode>* level = &roots;
    const TreeNode* node = nullptr;
    for (size_t i = 0; i < depth; ++i) {
        const int index = path[i];
        if (index < 0 || static_cast<size_t>(index) >= level->size()) {
            return nullptr;
        }
        node = &(*level)[static_cast<size_t>(index)];
        level = &node->children;
    }
    return node;
}

}  // namespace

std::vector<TreeNode> BuildConfigTree(const ConfigModel& model) {
    std::vector<TreeNode> roots;
    for (int32_t d = 0; d < model.driver_count; ++d) {
        const DriverEntry& driver = model.driver(d);
        TreeNode root{Format("%s %s", driver.description.c_str(),
                             driver.Start != kStartEnabled ? "(Disabled)" : ""),
                      kImageDriver, d, {}};
        int card_number = 0;
        for (const CardRun& card : CardsByBase(driver)) {
            TreeNode card_node{CardLabel(++card_number, driver.ports[static_cast<size_t>(
                                                            card.first_port)].Card),
                               kImageCard, 0, {}};
            for (int32_t i = 0; i < card.port_count; ++i) {
                const PortEntry& port = driver.ports[static_cast<size_t>(card.first_port + i)];
                card_node.children.push_back(
                    {PortLabel(i + 1, port), kImagePort, PortNumberOfName(port.name), {}});
            }
            root.children.push_back(std::move(card_node));
        }
        roots.push_back(std::move(root));
    }
    return roots;
}

std::vector<int> SelectTreeItemOfSelection(ConfigModel& model,
                                           const std::vector<TreeNode>& roots) {
    model.selection_level = kSelectNothing;
    if (model.selected_driver < 0 || static_cast<size_t>(model.selected_driver) >= roots.size()) {
        return {};
    }
    const auto& cards = roots[static_cast<size_t>(model.selected_driver)].children;
    const std::string& name = model.selected().name;
    const int32_t wanted = PortNumberOfName(name);
    for (size_t c = 0; c < cards.size(); ++c) {
        for (size_t p = 0; p < cards[c].children.size(); ++p) {
            if (cards[c].children[p].data == wanted && !name.empty()) {
                model.selection_level = kSelectPort;
                return {model.selected_driver, static_cast<int>(c), static_cast<int>(p)};
            }
        }
    }
    return {};
}

void ApplyTreeChoice(ConfigModel& model, const std::vector<TreeNode>& roots,
                     const std::vector<int>& path) {
    const TreeNode* item = NodeAt(roots, path, path.size());
    const TreeNode* parent = path.size() >= 2 ? NodeAt(roots, path, path.size() - 1) : nullptr;
    const TreeNode* grandparent =
        path.size() >= 3 ? NodeAt(roots, path, path.size() - 2) : nullptr;
    if (item == nullptr) {
        model.selection_level = kSelectNothing;
    } else if (parent != nullptr && grandparent != nullptr) {
        model.selection_level = kSelectPort;
        model.selected_driver = grandparent->data;
        model.selected_port = item->data - 1;
    } else if (parent != nullptr && !item->children.empty()) {
        model.selection_level = kSelectCard;
        model.selected_driver = parent->data;
        model.selected_port = item->children.front().data - 1;
    } else if (!item->children.empty() && !item->children.front().children.empty()) {
        model.selection_level = kSelectDriver;
        model.selected_driver = item->data;
        model.selected_port = 0;
    } else {
        model.selection_level = kSelectNothing;
    }
    // A key name without a port number in range (a hand-edited "PortX") selects the card's
    // first port rather than a slot outside the driver.
    if (model.selected_driver >= 0 && model.selected_driver < model.driver_count) {
        const int32_t ports = model.driver(model.selected_driver).port_count;
        if (model.selected_port < 0 || model.selected_port >= ports) {
            model.selected_port = 0;
        }
    }
}

}  // namespace qorval::applet
