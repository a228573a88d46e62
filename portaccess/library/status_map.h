#pragma once
// How the library turns the driver's kernel status codes into the tools' result codes.
// The table is documented in docs/port-access-library.md.

#include <cstdint>

namespace qorval::library {

enum class RequestKind { Open, Read, Write, Control };

uint32_t ResultFromStatus(RequestKind kind, uint32_t status);

}  // namespace qorval::library
