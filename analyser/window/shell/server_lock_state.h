// The keyboard's lock keys as the display server holds them. Under X the server's own lock
// indicators ("Caps Lock", "Num Lock", "Scroll Lock") are read through the XKB extension on
// Qt's connection to the server; on any other platform (offscreen, Wayland) nothing can be
// read and the caller follows the lock keys' presses instead.
#pragma once

#include <array>
#include <optional>

namespace qorval::analyser {

// Caps lock, num lock, scroll lock.
using LockStates = std::array<bool, 3>;

// nullopt when the program does not run on an X server or the server has no XKB.
std::optional<LockStates> ReadServerLockStates();

}  // namespace qorval::analyser
