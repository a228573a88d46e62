#include "applet/jumper_text.h"

#include "applet/jumper_dma.h"
#include "applet/jumper_picture.h"
#include "applet/text_util.h"

namespace qorval::applet {

using jumper::DrawAddressSwitch;
using jumper::DrawColumn;
using jumper::DrawPair;
using jumper::kEol;
using jumper::Row;

namespace {

constexpr const char* kIrqRefusal = "\tThe %s card can not use IRQ %u!\r\n\r\n";
constexpr const char* kAddressRefusal = "\tThe %s card can not be set to address 0x%X!\r\n\r\n";
constexpr const char* kCardHeading = "JUMPER SETTINGS FOR THE %s CARD (%s):\r\n\r\n";
constexpr const char* kPortA = "\tPort A:\r\n";
constexpr const char* kPortB = "\tPort B:\r\n";
constexpr uint16_t kTxcClock = 1;

// Closing texts, in card code order; empty where a card has none.
constexpr const char* kClosing[kCardTypeCount] = {
    "",
    "",
    "",
    "Refer to Elm manual for the electrical interface\r\ndip-shunt settings.\r\n\r\n",
    "Refer to Fir manual for the electrical interface\r\ndip-shunt settings.\r\n\r\n",
    "",
    "",
    "Refer to Oak/Pine manual for the electrical\r\ninterface dip-shunt settings.\r\n\r\n",
    "",
    "Refer to Maple manual for the electrical\r\ninterface dip-shunt settings.\r\n\r\n",
    "Refer to Ginkgo manual for the electrical\r\ninterface dip-shunt settings.\r\n\r\n",
    "Refer to Larch manual for the electrical\r\ninterface dip-shunt settings.\r\n\r\n",
    "Refer to Oak/Pine manual for the electrical\r\ninterface dip-shunt settings.\r\n\r\n",
    "Refer to Rowan manual for the electrical\r\ninterface dip-shunt settings.\r\n\r\n",
    "The Spruce card has no dip switches.\r\n",
    "The Nutmeg card has no dip switches.\r\n",
};

// IRQ rows of the cards with a computed IRQ block.
struct IrqBlock {
    const char* name;
    std::vector<unsigned> rows;
    std::vector<Row> fixed_rows;  // drawn after the IRQ rows
    bool also_two_as_nine;        // IRQ 2 is accepted and drawn on the row of IRQ 9
};

std::string Model(const JumperInput& in) {
    return std::string(CardModelName(in.card));
}

void DrawIrq(std::string& out, const JumperInput& in, const IrqBlock& block) {
    out += jumper::kIrqTitle;
    unsigned irq = in.irq;
    if (block.also_two_as_nine && irq == 2) {
        irq = 9;
    }
    std::vector<Row> rows;
    bool accepted = false;
    for (unsigned line : block.rows) {
        rows.push_back({Format("%2u", line), line == irq});
        accepted = accepted || line == irq;
    }
    if (!accepted) {
        out += Format(kIrqRefusal, Model(in).c_str(), static_cast<unsigned>(in.irq));
        return;
    }
    rows.insert(rows.end(), block.fixed_rows.begin(), block.fixed_rows.end());
    DrawColumn(out, block.name, rows);
}

const std::vector<Row> kNmRows = {{"N", true}, {"M", false}};

// The "IRQ mode jumpers:" block of Hazel, Ginkgo and Larch.
void DrawIrqMode(std::string& out, const JumperInput& in, const char* name) {
    out += jumper::kIrqModeTitle;
    DrawColumn(out, name, {{"T", in.driver_kind == 0}, {"N", true}, {"M", false}});
}

void DrawSwitchBlock(std::string& out, const JumperInput& in, int high_bit, bool eighth) {
    out += jumper::kAddressTitle;
    DrawAddressSwitch(out, in.base, high_bit, eighth);
}

// Birch clock jumpers of one port: outputs fitted, or inputs when the port takes TXC.
void DrawBirchClockPort(std::string& out, const char* heading, const char* name1, const char* name2,
                        uint16_t tx_clock) {
    const bool input = tx_clock == kTxcClock;
    out += heading;
    DrawPair(out, name1,
             {{"1(O)", !input},
              {"2(I)", input},
              {"3(T)", false},
              {"4(T)", true},
              {"5(O)", false},
              {"6(I)", true}},
             name2, {{"15(O)", !input}, {"15(I)", input}, {"17(O)", false}, {"17(I)", true}});
}

// Cedar clock jumpers of one port.
void DrawCedarClockPort(std::string& out, const char* heading, const char* name, uint16_t rs485,
                        uint16_t tx_clock) {
    const bool input = tx_clock == kTxcClock;
    out += heading;
    DrawColumn(out, name,
               {{"1(E)", rs485 != 0},
                {"2(I)", input},
                {"3(O)", !input},
                {"4(I)", true},
                {"5(O)", false},
                {"6(O)", true},
                {"7(O)", true},
                {"8(O)", false},
                {"9(O)", false}},
               4);
}

void DrawBirch(std::string& out, const JumperInput& in) {
    DrawSwitchBlock(out, in, 9, false);
    DrawIrq(out, in, {"E8", {2, 3, 4, 5}, kNmRows, false});
    jumper::DrawSharedDma(out, in, "E4", "E5", false, true);
    out += jumper::kClocksTitle;
    DrawBirchClockPort(out, kPortA, "E6", "E10", in.tx_clock);
    DrawBirchClockPort(out, kPortB, "E3", "E2", in.tx_clock2);
}

void DrawCedar(std::string& out, const JumperInput& in) {
    DrawSwitchBlock(out, in, 9, false);
    DrawIrq(out, in, {"E8", {2, 3, 4, 5}, kNmRows, false});
    jumper::DrawSharedDma(out, in, "E3", "E5", true, false);
    out += jumper::kClocksTitle;
    DrawCedarClockPort(out, kPortA, "E2", in.rs485, in.tx_clock);
    DrawCedarClockPort(out, kPortB, "E1", in.rs485_2, in.tx_clock2);
}

void DrawDogwood(std::string& out, const JumperInput& in) {
    DrawSwitchBlock(out, in, 9, false);
    DrawIrq(out, in, {"E3", {2, 3, 4, 5}, kNmRows, false});
    jumper::DrawSharedDma(out, in, "E2", "E1", true, false);
}

void DrawElm(std::string& out, const JumperInput& in) {
    DrawSwitchBlock(out, in, 9, true);
    DrawIrq(out, in, {"E11", {2, 3, 4, 5, 7, 10, 11, 12, 15}, {}, false});
    jumper::DrawTwoColumnDma(out, in, "E15", "E16", nullptr);
    out += jumper::kOtherTitle;
    const bool port_a_same = in.tx_dma == in.rx_dma;
    DrawColumn(out, "E9",
               {{"A", !port_a_same},
                {"B", in.tx_dma != jumper::kNoDma},
                {"D", false},
                {"T", in.driver_kind == 0},
                {"N", true},
                {"M", false},
                {"C", in.tx_clock == kTxcClock},
                {"E", in.rs485 != 0}});
}

void DrawFir(std::string& out, const JumperInput& in) {
    DrawSwitchBlock(out, in, 9, false);
    DrawIrq(out, in, {"E3", {2, 3, 4, 5, 10, 11, 12, 15}, kNmRows, false});
    jumper::DrawSharedDma(out, in, "E1", "E7", true, false);
    out += jumper::kClocksTitle;
    DrawColumn(out, "E5", {{"RC", true}, {"RI", false}, {"TC", true}, {"TI", false}, {"TN", true}});
}

void DrawHazel(std::string& out, const JumperInput& in) {
    DrawSwitchBlock(out, in, 9, true);
    DrawIrq(out, in, {"E3", {2, 3, 4, 5, 7, 10, 11, 12, 15}, {}, false});
    DrawIrqMode(out, in, "E1");
    jumper::DrawFourColumnDma(out, in);
    out += jumper::kClocksTitle;
    const bool input_a = in.tx_clock == kTxcClock;
    const bool input_b = in.tx_clock2 == kTxcClock;
    DrawColumn(out, "E8",
               {{"EA", in.rs485 != 0},
                {"OA", !input_a},
                {"IA", input_a},
                {"EB", in.rs485_2 != 0},
                {"OB", !input_b},
                {"IB", input_b}});
}

void DrawJuniper(std::string& out, const JumperInput& in) {
    DrawSwitchBlock(out, in, 9, true);
    DrawIrq(out, in, {"E3", {2, 3, 4, 5, 7}, {{"R", true}}, false});
    jumper::DrawJuniperDma(out, in);
    out += jumper::kClockTitle;
    out += "\t     E2\r\n\t   +-------+\r\n";
    out += in.tx_clock == kTxcClock ? "\t   |[o o]o |\r\n" : "\t   | o[o o]|\r\n";
    out += "\t   +-------+\r\n\t     I   O\r\n\r\n";
}

void DrawOakPine(std::string& out, const JumperInput& in) {
    DrawSwitchBlock(out, in, 8, false);
}

struct FixedSwitch {
    unsigned address;
    const char* on_row;
    const char* off_row;
};

constexpr FixedSwitch kAlderSwitches[] = {
    {0x238, "*       ", " *******"}, {0x278, "    *   ", "**** ***"},
    {0x2B8, " *      ", "* ******"}, {0x2F8, "     *  ", "***** **"},
    {0x338, "  *     ", "** *****"}, {0x378, "      * ", "****** *"},
    {0x3B8, "   *    ", "*** ****"}, {0x3F8, "       *", "******* "},
};

constexpr FixedSwitch kMapleSwitches[] = {
    {0x238, " *  ", "* **"}, {0x280, "  * ", "** *"}, {0x288, "    ", "****"},
    {0x290, "**  ", "  **"}, {0x300, " ** ", "*  *"}, {0x308, "*   ", " ***"},
    {0x310, "* * ", " * *"},
};

template <size_t N>
void DrawFixedSwitch(std::string& out, const JumperInput& in, const FixedSwitch (&table)[N]) {
    out += jumper::kAddressTitle;
    for (const FixedSwitch& entry : table) {
        if (entry.address == in.base) {
            jumper::DrawSwitch(out, entry.on_row, entry.off_row);
            return;
        }
    }
    out += Format(kAddressRefusal, Model(in).c_str(), static_cast<unsigned>(in.base));
}

void DrawAlder(std::string& out, const JumperInput& in) {
    DrawFixedSwitch(out, in, kAlderSwitches);

    out += jumper::kIrqTitle;
    const char* irq_row = nullptr;
    switch (in.irq) {
        case 3:
            irq_row = "\t3 |[o o]o | 4 | o o | 5\r\n";
            break;
        case 4:
            irq_row = "\t3 | o[o o]| 4 | o o | 5\r\n";
            break;
        case 5:
            irq_row = "\t3 | o o o | 4 |[o o]| 5\r\n";
            break;
        default:
            break;
    }
    if (irq_row == nullptr) {
        out += Format(kIrqRefusal, Model(in).c_str(), static_cast<unsigned>(in.irq));
    } else {
        const char* border = "\t  +-------+   +-----+\r\n";
        out +=
            std::string("\t     E1         E9\r\n") + border + irq_row + border + std::string(kEol);
    }

    jumper::DrawAlderDma(out, in);
    out += jumper::kDmaEnableTitle;
    out += "\t    B     A\r\n\t   +-------+\r\n\tE7 | o[o o]|\r\n\t   +-------+\r\n\r\n";
    out += jumper::kMiscTitle;
    DrawColumn(out, "E4",
               {{"RC", true}, {"RD", false}, {"TC", true}, {"DT", false}, {"TD", false}});
}

void DrawMaple(std::string& out, const JumperInput& in) {
    DrawFixedSwitch(out, in, kMapleSwitches);
}

void DrawGinkgoLarch(std::string& out, const JumperInput& in, const char* irq_name,
                     const char* mode_name, const char* rx_name, const char* tx_name) {
    DrawSwitchBlock(out, in, 9, true);
    DrawIrq(out, in, {irq_name, {3, 4, 5, 7, 9, 10, 11, 12, 15}, {}, true});
    DrawIrqMode(out, in, mode_name);
    jumper::DrawTwoColumnDma(out, in, rx_name, tx_name, "E1");
}

}  // namespace

std::string ComposeJumperText(const JumperInput& in) {
    std::string out;
    switch (in.card) {
        case kBirch:
            DrawBirch(out, in);
            break;
        case kCedar:
            DrawCedar(out, in);
            break;
        case kDogwood:
            DrawDogwood(out, in);
            break;
        case kElm:
            DrawElm(out, in);
            break;
        case kFir:
            DrawFir(out, in);
            break;
        case kHazel:
            DrawHazel(out, in);
            break;
        case kJuniper:
            DrawJuniper(out, in);
            break;
        case kOak:
        case kPine:
            DrawOakPine(out, in);
            break;
        case kAlder:
            DrawAlder(out, in);
            break;
        case kMaple:
            DrawMaple(out, in);
            break;
        case kGinkgo:
            DrawGinkgoLarch(out, in, "E6", "E5", "E3", "E4");
            break;
        case kLarch:
            DrawGinkgoLarch(out, in, "E7", "E6", "E2", "E3");
            break;
        case kRowan:
        case kSpruce:
        case kNutmeg:
            break;
        default:
            return {};
    }
    out += kClosing[in.card];
    return out;
}

uint16_t DriverKind(std::string_view driver_name) {
    for (int32_t type : {kFendar5, kGorlin5, kWyvel32}) {
        if (EqualsNoCase(driver_name, DriverInfo(type).name)) {
            return static_cast<uint16_t>(type);
        }
    }
    return 0;
}

JumperInput JumperInputForCard(const DriverEntry& driver, const CardRun& card) {
    const PortEntry& a = driver.ports.at(static_cast<size_t>(card.first_port));
    JumperInput in;
    in.driver_kind = DriverKind(driver.name);
    in.card = static_cast<uint16_t>(a.Card);
    in.base = static_cast<uint16_t>(a.BaseIO);
    in.irq = static_cast<uint16_t>(a.Interrupt);
    in.tx_dma = static_cast<uint16_t>(a.TxDMA);
    in.rx_dma = static_cast<uint16_t>(a.RxDMA);
    in.rs485 = static_cast<uint16_t>(a.RS_485);
    in.tx_clock = static_cast<uint16_t>(a.TxClock);
    in.rx_clock = static_cast<uint16_t>(a.RxClock);
    if (PortsOfCard(a.Card) == 2 && card.port_count == 2) {
        const PortEntry& b = driver.ports.at(static_cast<size_t>(card.first_port + 1));
        in.tx_dma2 = static_cast<uint16_t>(b.TxDMA);
        in.rx_dma2 = static_cast<uint16_t>(b.RxDMA);
        in.rs485_2 = static_cast<uint16_t>(b.RS_485);
        in.tx_clock2 = static_cast<uint16_t>(b.TxClock);
        in.rx_clock2 = static_cast<uint16_t>(b.RxClock);
    }
    return in;
}

std::string CardHeading(std::string_view model, std::string_view driver_description) {
    return Format(kCardHeading, std::string(model).c_str(),
                  std::string(driver_description).c_str());
}

}  // namespace qorval::applet
