#include "applet/jumper_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qorval::applet {
namespace {

constexpr uint16_t kNone = 0xFFFF;

JumperInput Card(int32_t card, uint16_t base = 0x238, uint16_t irq = 5) {
    JumperInput in;
    in.card = static_cast<uint16_t>(card);
    in.base = base;
    in.irq = irq;
    return in;
}

JumperInput WithDma(JumperInput in, uint16_t ta, uint16_t ra, uint16_t tb = kNone,
                    uint16_t rb = kNone) {
    in.tx_dma = ta;
    in.rx_dma = ra;
    in.tx_dma2 = tb;
    in.rx_dma2 = rb;
    return in;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The block titles of a text, in order.
std::vector<std::string> Titles(const std::string& text) {
    std::vector<std::string> titles;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find("\r\n", at);
        const std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == ':' && line[0] != '\t') {
            titles.push_back(line);
        }
        if (end == std::string::npos) {
            break;
        }
        at = end + 2;
    }
    return titles;
}

TEST(JumperText, EachCardDrawsItsBlocksAndClosingText) {
    const std::string address = "Address selection dip switch:";
    const std::string irq = "IRQ selection jumpers:";
    const std::string mode = "IRQ mode jumpers:";
    const std::string dma = "DMA selection jumpers:";
    struct Case {
        int32_t card;
        std::vector<std::string> titles;
        const char* closing;
    };
    const Case cases[] = {
        {kBirch, {address, irq, dma, "Clock jumpers:"}, ""},
        {kCedar, {address, irq, dma, "Clock jumpers:"}, ""},
        {kDogwood, {address, irq, dma}, ""},
        {kElm,
         {address, irq, dma, "Other jumpers:"},
         "Refer to Elm manual for the electrical interface\r\ndip-shunt settings.\r\n\r\n"},
        {kFir,
         {address, irq, dma, "Clock jumpers:"},
         "Refer to Fir manual for the electrical interface\r\ndip-shunt settings.\r\n\r\n"},
        {kHazel, {address, irq, mode, dma, "Clock jumpers:"}, ""},
        {kJuniper, {address, irq, dma, "Clock jumper:"}, ""},
        {kOak,
         {address},
         "Refer to Oak/Pine manual for the electrical\r\ninterface dip-shunt settings.\r\n\r\n"},
        {kAlder, {address, irq, dma, "DMA Enable jumpers:", "Miscellaneous I/O jumpers:"}, ""},
        {kMaple,
         {address},
         "Refer to Maple manual for the electrical\r\ninterface dip-shunt settings.\r\n\r\n"},
        {kGinkgo,
         {address, irq, mode, dma},
         "Refer to Ginkgo manual for the electrical\r\ninterface dip-shunt settings.\r\n\r\n"},
        {kLarch,
         {address, irq, mode, dma},
         "Refer to Larch manual for the electrical\r\ninterface dip-shunt settings.\r\n\r\n"},
        {kPine,
         {address},
         "Refer to Oak/Pine manual for the electrical\r\ninterface dip-shunt settings.\r\n\r\n"},
        {kRowan,
         {},
         "Refer to Rowan manual for the electrical\r\ninterface dip-shunt settings.\r\n\r\n"},
        {kSpruce, {}, "The Spruce card has no dip switches.\r\n"},
        {kNutmeg, {}, "The Nutmeg card has no dip switches.\r\n"},
    };
    for (const Case& c : cases) {
        const std::string text = ComposeJumperText(WithDma(Card(c.card, 0x238, 3), 1, 1));
        EXPECT_EQ(Titles(text), c.titles) << CardModelName(c.card);
        const std::string closing = c.closing;
        ASSERT_GE(text.size(), closing.size());
        EXPECT_EQ(text.substr(text.size() - closing.size()), closing) << CardModelName(c.card);
        EXPECT_FALSE(Has(text, "Invalid DMA")) << CardModelName(c.card);
    }
    EXPECT_EQ(ComposeJumperText(Card(16)), "");
}

// The on and off rows a card's address switch shows for one base address.
struct SwitchCase {
    int32_t card;
    uint16_t base;
    const char* on;
    const char* off;
};

TEST(JumperText, AddressSwitchPositions) {
    const SwitchCase cases[] = {
        {kBirch, 0x238, "\t|on |  ***    |\r\n", "\t|off| *   *** |\r\n"},  // bits 9..3
        {kBirch, 0x3F8, "\t|on |         |\r\n", "\t|off| ******* |\r\n"},
        {kHazel, 0x280, "\t|on |  * ***** |\r\n", "\t|off| * *      |\r\n"},  // eight positions
        {kOak, 0x238, "\t|on | ***   * |\r\n", "\t|off|    ***  |\r\n"},      // bits 8..2
        {kPine, 0x304, "\t|on |  *****  |\r\n", "\t|off| *     * |\r\n"},
    };
    for (const SwitchCase& c : cases) {
        const std::string text = ComposeJumperText(Card(c.card, c.base));
        EXPECT_TRUE(Has(text, std::string(c.on) + c.off))
            << CardModelName(c.card) << " " << c.base << "\n"
            << text;
    }
    EXPECT_TRUE(Has(ComposeJumperText(Card(kBirch)), "\t+---+---------+\r\n\t|on |"));
    EXPECT_TRUE(Has(ComposeJumperText(Card(kElm)), "\t+---+----------+\r\n\t|on |"));
}

TEST(JumperText, FixedAddressPicturesAndRefusal) {
    const SwitchCase cases[] = {
        {kAlder, 0x238, "\t|on | *        |\r\n", "\t|off|  ******* |\r\n"},
        {kAlder, 0x278, "\t|on |     *    |\r\n", "\t|off| **** *** |\r\n"},
        {kAlder, 0x2B8, "\t|on |  *       |\r\n", "\t|off| * ****** |\r\n"},
        {kAlder, 0x2F8, "\t|on |      *   |\r\n", "\t|off| ***** ** |\r\n"},
        {kAlder, 0x338, "\t|on |   *      |\r\n", "\t|off| ** ***** |\r\n"},
        {kAlder, 0x378, "\t|on |       *  |\r\n", "\t|off| ****** * |\r\n"},
        {kAlder, 0x3B8, "\t|on |    *     |\r\n", "\t|off| *** **** |\r\n"},
        {kAlder, 0x3F8, "\t|on |        * |\r\n", "\t|off| *******  |\r\n"},
        {kMaple, 0x238, "\t|on |  *   |\r\n", "\t|off| * ** |\r\n"},
        {kMaple, 0x280, "\t|on |   *  |\r\n", "\t|off| ** * |\r\n"},
        {kMaple, 0x288, "\t|on |      |\r\n", "\t|off| **** |\r\n"},
        {kMaple, 0x290, "\t|on | **   |\r\n", "\t|off|   ** |\r\n"},
        {kMaple, 0x300, "\t|on |  **  |\r\n", "\t|off| *  * |\r\n"},
        {kMaple, 0x308, "\t|on | *    |\r\n", "\t|off|  *** |\r\n"},
        {kMaple, 0x310, "\t|on | * *  |\r\n", "\t|off|  * * |\r\n"},
    };
    for (const SwitchCase& c : cases) {
        const std::string border =
            c.card == kAlder ? "\t+---+----------+\r\n" : "\t+---+------+\r\n";
        const std::string text = ComposeJumperText(WithDma(Card(c.card, c.base, 3), 1, 1));
        EXPECT_TRUE(Has(text, border + c.on + c.off + border + "\r\n")) << text;
    }
    const std::string alder = ComposeJumperText(WithDma(Card(kAlder, 0x300, 4), 3, 3));
    EXPECT_TRUE(Has(
        alder,
        "Address selection dip switch:\r\n\tThe Alder card can not be set to address 0x300!\r\n\r\n"
        "IRQ selection jumpers:\r\n"));
    EXPECT_TRUE(Has(alder, "\t3 | o[o o]| 4 | o o | 5\r\n"));
    EXPECT_TRUE(Has(alder, "\tE3 | o[o o]|\r\n\t   | o[o o]|\r\n"));
    EXPECT_TRUE(Has(ComposeJumperText(Card(kMaple, 0x2F8)),
                    "\tThe Maple card can not be set to address 0x2F8!\r\n\r\n"));
}

TEST(JumperText, IrqRowsAndRefusals) {
    const std::string birch = ComposeJumperText(Card(kBirch, 0x238, 3));
    EXPECT_TRUE(Has(
        birch,
        "IRQ selection jumpers:\r\n\t     E8\r\n\t   +-----+\r\n\t 2 | o o |\r\n\t 3 |[o o]|\r\n"
        "\t 4 | o o |\r\n\t 5 | o o |\r\n\t N |[o o]|\r\n\t M | o o |\r\n\t   +-----+\r\n\r\n"));
    const std::string refused = ComposeJumperText(Card(kBirch, 0x238, 7));
    EXPECT_TRUE(
        Has(refused, "IRQ selection jumpers:\r\n\tThe Birch card can not use IRQ 7!\r\n\r\nDMA"));
    EXPECT_FALSE(Has(refused, "E8"));
    EXPECT_TRUE(
        Has(ComposeJumperText(Card(kJuniper, 0x238, 7)), "\t 7 |[o o]|\r\n\t R |[o o]|\r\n"));
    EXPECT_TRUE(Has(ComposeJumperText(Card(kFir, 0x238, 7)), "can not use IRQ 7!"));
    EXPECT_TRUE(Has(ComposeJumperText(Card(kElm, 0x238, 15)), "\t15 |[o o]|\r\n"));
    // Ginkgo and Larch take IRQ 2 on the row of IRQ 9.
    EXPECT_TRUE(Has(ComposeJumperText(Card(kGinkgo, 0x238, 2)), "\t 9 |[o o]|\r\n"));
    EXPECT_TRUE(Has(ComposeJumperText(Card(kLarch, 0x238, 2)), "\t 9 |[o o]|\r\n"));
    EXPECT_TRUE(
        Has(ComposeJumperText(Card(kLarch, 0x238, 6)), "\tThe Larch card can not use IRQ 6!\r\n"));

    const char* alder_rows[] = {"\t3 |[o o]o | 4 | o o | 5\r\n", "\t3 | o[o o]| 4 | o o | 5\r\n",
                                "\t3 | o o o | 4 |[o o]| 5\r\n"};
    for (uint16_t irq = 3; irq <= 5; ++irq) {
        EXPECT_TRUE(Has(ComposeJumperText(Card(kAlder, 0x238, irq)), alder_rows[irq - 3]));
    }
    EXPECT_TRUE(Has(ComposeJumperText(Card(kAlder, 0x238, 7)),
                    "\tThe Alder card can not use IRQ 7!\r\n\r\n"));
}

TEST(JumperText, SharedDmaPictureOfBirchFamily) {
    const std::string valid = ComposeJumperText(WithDma(Card(kBirch), 1, 1, 3, 3));
    EXPECT_FALSE(Has(valid, "Invalid"));
    // Port A on 1, port B on 3, each in both directions.
    EXPECT_TRUE(Has(valid,
                    "\t     E4\r\n\t   +-----+\r\n\t 1 |[o o]|\r\n\t 2 | o o |\r\n\t 3 |[o o]|\r\n"
                    "\t 4 | o o |\r\n\t 5 | o o |\r\n\t 6 | o o |\r\n\t   +-----+\r\n"));
    EXPECT_TRUE(Has(valid,
                    "\t     E5\r\n\t   +-----+\r\n\t 1 |[o o]|\r\n\t 2 | o o |\r\n\t 3 | o o |\r\n"
                    "\t 4 |[o o]|\r\n\t 5 |[o o]|\r\n\t 6 | o o |\r\n\t   +-----+\r\n"));
    EXPECT_TRUE(Has(valid, "\t     E9\r\n\t   +-----+\r\n\t 1 |[o o]|\r\n\t 2 | o o |\r\n"));

    const struct {
        uint16_t ta, ra, tb, rb;
        bool valid;
    } cases[] = {
        {1, 1, 3, 3, true},         {1, 1, 3, 1, false},  // port B split
        {3, 1, kNone, kNone, true}, {0, 0, kNone, kNone, false}, {1, 1, 2, 2, false},
        {1, kNone, 3, 3, false},    {1, 1, 1, 1, false},  // both ports on one channel
        {kNone, kNone, 3, 3, true},
    };
    for (const auto& c : cases) {
        for (int32_t card : {kBirch, kCedar, kDogwood, kFir}) {
            const std::string text = ComposeJumperText(WithDma(Card(card), c.ta, c.ra, c.tb, c.rb));
            const std::string invalid =
                "DMA selection jumpers:\r\n\tInvalid DMA settings for the " +
                std::string(CardModelName(card)) + " card!\r\n\r\n";
            EXPECT_EQ(!Has(text, invalid), c.valid)
                << CardModelName(card) << " " << c.ta << "/" << c.ra << " " << c.tb << "/" << c.rb;
        }
    }
    EXPECT_TRUE(Has(ComposeJumperText(WithDma(Card(kFir), 1, 1, 3, 3)),
                    "\t 7 |[o o]|\r\n\t 8 | o o |\r\n"));
}

TEST(JumperText, ColumnDmaPictures) {
    const std::string elm = ComposeJumperText(WithDma(Card(kElm), 1, 3));
    EXPECT_TRUE(Has(elm,
                    "\t     E15       E16\r\n\t   +-----+   +-----+\r\n\t 0 | o o |   | o o |\r\n"
                    "\t 1 | o o |   |[o o]|\r\n\t 2 | o o |   | o o |\r\n\t 3 |[o o]|   | o o |\r\n"
                    "\t   +-----+   +-----+\r\n"));
    EXPECT_TRUE(Has(ComposeJumperText(WithDma(Card(kElm), 1, kNone)),
                    "\tInvalid DMA settings for the Elm card!"));
    const std::string ginkgo = ComposeJumperText(WithDma(Card(kGinkgo), kNone, kNone));
    EXPECT_TRUE(Has(ginkgo, "\tS1 | o o |\r\n\tS2 | o o |\r\n\t A | o o |\r\n"));

    const std::string hazel = ComposeJumperText(WithDma(Card(kHazel), 1, 3, 0, 0));
    EXPECT_TRUE(Has(hazel,
                    "\t 0 | o o |   | o o |   | o o |   |[o o]|\r\n\t 1 |[o o]|   | o o |   | o o "
                    "|   | o o |\r\n"
                    "\t 2 | o o |   | o o |   | o o |   | o o |\r\n\t 3 | o o |   |[o o]|   | o o "
                    "|   | o o |\r\n"));
    EXPECT_TRUE(Has(ComposeJumperText(WithDma(Card(kHazel), 1, 3, 3, 3)),
                    "Invalid DMA settings for the Hazel"));
    EXPECT_TRUE(Has(ComposeJumperText(WithDma(Card(kHazel), 1, 1, 0, kNone)),
                    "Invalid DMA settings for the Hazel"));

    const std::string juniper = ComposeJumperText(WithDma(Card(kJuniper), 3, 1));
    EXPECT_TRUE(
        Has(juniper,
            "\t A |[o o]|\r\n\t B |[o o]|\r\n\t C | o o |\r\n\t D |[o o]|\r\n\t E | o o |\r\n"));
    EXPECT_TRUE(Has(ComposeJumperText(WithDma(Card(kJuniper), 1, 3)),
                    "Invalid DMA settings for the Juniper"));
    EXPECT_TRUE(Has(ComposeJumperText(WithDma(Card(kAlder), 2, 2)),
                    "\tThe Alder card can not use DMA channel 2!\r\n\r\n"));
}

TEST(JumperText, ClockPicturesFollowTransmitClockAndRs485) {
    JumperInput birch = WithDma(Card(kBirch), 1, 1, 3, 3);
    birch.tx_clock = 1;  // port A takes TXC
    const std::string text = ComposeJumperText(birch);
    EXPECT_TRUE(
        Has(text,
            "\tPort A:\r\n\t        E6             E10\r\n\t      +-----+        +-----+\r\n"
            "\t 1(O) | o o |  15(O) | o o |\r\n\t 2(I) |[o o]|  15(I) |[o o]|\r\n"
            "\t 3(T) | o o |  17(O) | o o |\r\n\t 4(T) |[o o]|  17(I) |[o o]|\r\n"
            "\t 5(O) | o o |        +-----+\r\n\t 6(I) |[o o]|\r\n\t      +-----+\r\n"));
    EXPECT_TRUE(Has(text,
                    "\tPort B:\r\n\t        E3             E2\r\n\t      +-----+        +-----+\r\n"
                    "\t 1(O) |[o o]|  15(O) |[o o]|\r\n"));

    JumperInput cedar = WithDma(Card(kCedar), 1, 1, 3, 3);
    cedar.rs485_2 = 1;
    const std::string cedar_text = ComposeJumperText(cedar);
    EXPECT_TRUE(
        Has(cedar_text,
            "\tPort B:\r\n\t       E1\r\n\t     +-----+\r\n\t1(E) |[o o]|\r\n\t2(I) | o o |\r\n"
            "\t3(O) |[o o]|\r\n"));

    JumperInput juniper = Card(kJuniper);
    EXPECT_TRUE(Has(ComposeJumperText(juniper),
                    "\t   | o[o o]|\r\n\t   +-------+\r\n\t     I   O\r\n\r\n"));
    juniper.tx_clock = 1;
    EXPECT_TRUE(Has(ComposeJumperText(juniper), "\t   |[o o]o |\r\n"));

    JumperInput elm = Card(kElm);
    elm.driver_kind = 1;
    elm.tx_clock = 1;
    EXPECT_TRUE(Has(ComposeJumperText(elm),
                    "\t T | o o |\r\n\t N |[o o]|\r\n\t M | o o |\r\n\t C |[o o]|\r\n"));
}

}  // namespace
}  // namespace qorval::applet
