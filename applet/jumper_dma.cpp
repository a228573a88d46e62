#include "applet/jumper_dma.h"

#include <initializer_list>
#include <vector>

#include "applet/jumper_picture.h"
#include "applet/text_util.h"

namespace qorval::applet::jumper {

namespace {

constexpr const char* kInvalidDma = "\tInvalid DMA settings for the %s card!\r\n\r\n";
constexpr const char* kAlderDmaRefusal = "\tThe %s card can not use DMA channel %u!\r\n\r\n";

bool Set(uint16_t channel) {
    return channel != kNoDma;
}

void DrawInvalid(std::string& out, const JumperInput& in) {
    out += Format(kInvalidDma, std::string(CardModelName(in.card)).c_str());
}

std::vector<Row> Numbered(std::initializer_list<bool> fitted) {
    std::vector<Row> rows;
    unsigned number = 1;
    for (bool f : fitted) {
        rows.push_back({Format("%u", number++), f});
    }
    return rows;
}

// A port whose two channels differ while one of them is not set.
bool HalfSet(uint16_t tx, uint16_t rx) {
    return tx != rx && (!Set(tx) || !Set(rx));
}

// Channels 0..3 as the rows of a grid; `columns(i)` says which columns are fitted on row i.
template <typename Columns>
void DrawChannelGrid(std::string& out, const std::vector<std::string>& names, Columns&& columns) {
    std::vector<std::string> labels;
    std::vector<std::vector<bool>> fitted;
    for (uint16_t i = 0; i < 4; ++i) {
        labels.push_back(Format("%u", static_cast<unsigned>(i)));
        fitted.push_back(columns(i));
    }
    DrawGrid(out, names, labels, fitted);
}

}  // namespace

void DrawSharedDma(std::string& out, const JumperInput& in, const char* first, const char* second,
                   bool rows_7_8, bool birch_e9) {
    out += kDmaTitle;
    const uint16_t ta = in.tx_dma, ra = in.rx_dma, tb = in.tx_dma2, rb = in.rx_dma2;
    bool valid =
        tb == rb && !(ta != ra && (!Set(ta) || !Set(ra))) && !(Set(ta) && (ta == tb || ra == tb));
    for (uint16_t channel : {ta, ra, tb, rb}) {
        valid = valid && channel != 0 && channel != 2;
    }
    if (!valid) {
        DrawInvalid(out, in);
        return;
    }
    const bool same = ta == ra;
    DrawColumn(out, first,
               Numbered({
                   !(same && (!Set(ta) || !Set(tb))),
                   ta == 3 && tb == 1,
                   ta == 1 && tb == 3,
                   ta != ra || (Set(ta) && !Set(tb)),
                   (same && ta == 3) ? !Set(tb) : (!Set(ta) && tb == 3),
                   (same && ta == 1) ? !Set(tb) : (!Set(ta) && tb == 1),
               }));
    std::vector<Row> second_rows = Numbered({
        tb == 3 || (ta == 3 && ra == 1),
        ra == 3,
        tb == 1 || (ta == 1 && ra == 3),
        ra == 1,
        Set(tb) || (same && ta != tb),
        ta != ra,
    });
    if (rows_7_8) {
        second_rows.push_back({"7", true});
        second_rows.push_back({"8", false});
    }
    DrawColumn(out, second, second_rows);
    if (birch_e9) {
        DrawColumn(out, "E9", Numbered({true, false}));
    }
}

void DrawTwoColumnDma(std::string& out, const JumperInput& in, const char* rx_name,
                      const char* tx_name, const char* enable_name) {
    out += kDmaTitle;
    const uint16_t ta = in.tx_dma, ra = in.rx_dma;
    if (HalfSet(ta, ra)) {
        DrawInvalid(out, in);
        return;
    }
    DrawChannelGrid(out, {rx_name, tx_name}, [&](uint16_t i) {
        return std::vector<bool>{ra == i, ta == i && ta != ra};
    });
    if (enable_name != nullptr) {
        DrawColumn(out, enable_name, {{"S1", false}, {"S2", false}, {"A", Set(ta) || Set(ra)}});
    }
}

void DrawFourColumnDma(std::string& out, const JumperInput& in) {
    out += kDmaTitle;
    const uint16_t ta = in.tx_dma, ra = in.rx_dma, tb = in.tx_dma2, rb = in.rx_dma2;
    const bool shared = Set(ta) && (ta == tb || ta == rb || ra == tb || ra == rb);
    if (HalfSet(ta, ra) || HalfSet(tb, rb) || shared) {
        DrawInvalid(out, in);
        return;
    }
    DrawChannelGrid(out, {"E4", "E5", "E6", "E7"}, [&](uint16_t i) {
        return std::vector<bool>{ta == i && ta != ra, ra == i, tb == i && tb != rb, rb == i};
    });
    DrawColumn(out, "E2", {{"A", Set(ta) || Set(ra)}, {"B", Set(tb) || Set(rb)}});
}

void DrawJuniperDma(std::string& out, const JumperInput& in) {
    out += kDmaTitle;
    const uint16_t ta = in.tx_dma, ra = in.rx_dma;
    const bool no_bad_channel = ta != 0 && ta != 2 && ra != 0 && ra != 2;
    const bool pairing = ta == ra || (Set(ta) && Set(ra) && ta == 3);
    if (!no_bad_channel || !pairing) {
        DrawInvalid(out, in);
        return;
    }
    DrawColumn(out, "E1",
               {{"A", ra == 1}, {"B", ta == 3}, {"C", false}, {"D", true}, {"E", in.rs485 != 0}});
}

void DrawAlderDma(std::string& out, const JumperInput& in) {
    out += kDmaTitle;
    const uint16_t channel = Set(in.tx_dma) ? in.tx_dma : in.rx_dma;
    const bool other_differs = Set(in.tx_dma) && Set(in.rx_dma) && in.rx_dma != in.tx_dma;
    for (uint16_t used : {channel, other_differs ? in.rx_dma : channel}) {
        if (Set(used) && used != 1 && used != 3) {
            out += Format(kAlderDmaRefusal, std::string(CardModelName(in.card)).c_str(),
                          static_cast<unsigned>(used));
            return;
        }
    }
    if (other_differs) {
        // One jumper block serves both directions, so they cannot use different channels.
        out += Format(kAlderDmaRefusal, std::string(CardModelName(in.card)).c_str(),
                      static_cast<unsigned>(in.rx_dma));
        return;
    }
    const char* pins = channel == 1 ? "[o o]o " : channel == 3 ? " o[o o]" : " o o o ";
    out += "\t    1     3\r\n\t   +-------+\r\n";
    out += Format("\tE3 |%s|\r\n\t   |%s|\r\n", pins, pins);
    out += "\t   +-------+\r\n\r\n";
}

}  // namespace qorval::applet::jumper
