// Register names and the one-line text form of a traced access.

#include <array>
#include <cstdio>

#include "sim/iusc_registers.h"
#include "sim/sim_card.h"

namespace qorval::sim {
namespace {

struct NamedRegister {
    uint8_t offset;
    std::string_view name;
};

constexpr std::array kRegisterNames{
    NamedRegister{reg::DCAR, "DCAR"},   NamedRegister{reg::TDMR, "TDMR"},
    NamedRegister{reg::DCR, "DCR"},     NamedRegister{reg::BDCR, "BDCR"},
    NamedRegister{reg::DICR, "DICR"},   NamedRegister{reg::CDIR, "CDIR"},
    NamedRegister{reg::DIPR, "DIPR"},   NamedRegister{reg::TDIAR, "TDIAR"},
    NamedRegister{reg::NTARL, "NTARL"}, NamedRegister{reg::NTARU, "NTARU"},
    NamedRegister{reg::RDMR, "RDMR"},   NamedRegister{reg::RDIAR, "RDIAR"},
    NamedRegister{reg::NRARL, "NRARL"}, NamedRegister{reg::NRARU, "NRARU"},
    NamedRegister{reg::CCAR, "CCAR"},   NamedRegister{reg::CMR, "CMR"},
    NamedRegister{reg::CCSR, "CCSR"},   NamedRegister{reg::CCR, "CCR"},
    NamedRegister{reg::PSR, "PSR"},     NamedRegister{reg::PCR, "PCR"},
    NamedRegister{reg::CMCR, "CMCR"},   NamedRegister{reg::HCR, "HCR"},
    NamedRegister{reg::IOCR, "IOCR"},   NamedRegister{reg::ICR, "ICR"},
    NamedRegister{reg::DCCR, "DCCR"},   NamedRegister{reg::MISR, "MISR"},
    NamedRegister{reg::RMR, "RMR"},     NamedRegister{reg::RCSR, "RCSR"},
    NamedRegister{reg::RICR, "RICR"},   NamedRegister{reg::RSR, "RSR"},
    NamedRegister{reg::RCLR, "RCLR"},   NamedRegister{reg::TC0R, "TC0R"},
    NamedRegister{reg::TMR, "TMR"},     NamedRegister{reg::TCSR, "TCSR"},
    NamedRegister{reg::TICR, "TICR"},
};

const char* KindText(Access::Kind kind) {
    switch (kind) {
        case Access::Kind::BoardRead:
        case Access::Kind::RegRead8:
            return "R8";
        case Access::Kind::BoardWrite:
        case Access::Kind::RegWrite8:
            return "W8";
        case Access::Kind::RegRead16:
            return "R16";
        case Access::Kind::RegWrite16:
            return "W16";
    }
    return "?";
}

}  // namespace

std::string_view RegisterName(uint8_t offset) {
    const uint8_t even = offset & 0xFE;
    for (const auto& r : kRegisterNames) {
        if (r.offset == even) {
            return r.name;
        }
    }
    return {};
}

bool IsKnownRegister(uint8_t offset) {
    return !RegisterName(offset).empty();
}

std::string FormatAccess(const Access& access) {
    const bool board =
        access.kind == Access::Kind::BoardRead || access.kind == Access::Kind::BoardWrite;
    const bool wide =
        access.kind == Access::Kind::RegRead16 || access.kind == Access::Kind::RegWrite16;
    char text[48];
    std::snprintf(text, sizeof text, wide ? "%s %s 0x%02X 0x%04X" : "%s %s 0x%02X 0x%02X",
                  KindText(access.kind), board ? "IO" : "REG", access.offset,
                  static_cast<unsigned>(wide ? access.value : (access.value & 0xFF)));
    std::string line = text;
    if (!board) {
        const std::string_view name = RegisterName(access.offset);
        if (!name.empty()) {
            line += ' ';
            line += name;
        }
    }
    return line;
}

}  // namespace qorval::sim
