#include "analyser/window/shell/server_lock_state.h"

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>
// The XKB header names a member "explicit", a C++ keyword; it is renamed while it is read.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

namespace qorval::analyser {
namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeReply>;

constexpr std::array<const char*, 3> kIndicatorNames = {"Caps Lock", "Num Lock", "Scroll Lock"};

// What one connection needs, asked once: XKB enabled for it and the indicators' atoms.
struct ServerIndicators {
    xcb_connection_t* connection = nullptr;
    bool usable = false;
    std::array<xcb_atom_t, 3> atoms{};
};

ServerIndicators Prepare(xcb_connection_t* connection) {
    ServerIndicators server;
    server.connection = connection;
    const ReplyPtr<xcb_xkb_use_extension_reply_t> xkb(xcb_xkb_use_extension_reply(
        connection, xcb_xkb_use_extension(connection, XCB_XKB_MAJOR_VERSION,
                                          XCB_XKB_MINOR_VERSION),
        nullptr));
    if (xkb == nullptr || xkb->supported == 0) {
        return server;
    }
    std::array<xcb_intern_atom_cookie_t, 3> cookies{};
    for (size_t i = 0; i < kIndicatorNames.size(); ++i) {
        cookies[i] = xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(kIndicatorNames[i])),
                                     kIndicatorNames[i]);
    }
    server.usable = true;
    for (size_t i = 0; i < cookies.size(); ++i) {
        const ReplyPtr<xcb_intern_atom_reply_t> atom(
            xcb_intern_atom_reply(connection, cookies[i], nullptr));
        server.usable = server.usable && atom != nullptr;
        server.atoms[i] = atom != nullptr ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    return server;
}

}  // namespace

std::optional<LockStates> ReadServerLockStates() {
    auto* x11 = qGuiApp != nullptr
                    ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                    : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) {
        return std::nullopt;
    }
    static ServerIndicators server;
    if (server.connection != x11->connection()) {
        server = Prepare(x11->connection());
    }
    if (!server.usable) {
        return std::nullopt;
    }
    std::array<xcb_xkb_get_named_indicator_cookie_t, 3> cookies{};
    for (size_t i = 0; i < cookies.size(); ++i) {
        cookies[i] = xcb_xkb_get_named_indicator(
            server.connection, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_LED_CLASS_DFLT_XI_CLASS,
            XCB_XKB_ID_DFLT_XI_ID, server.atoms[i]);
    }
    LockStates states{};
    bool answered = true;
    for (size_t i = 0; i < cookies.size(); ++i) {
        const ReplyPtr<xcb_xkb_get_named_indicator_reply_t> reply(
            xcb_xkb_get_named_indicator_reply(server.connection, cookies[i], nullptr));
        answered = answered && reply != nullptr;
        // An indicator the keymap does not have is off, as the server shows it.
        states[i] = reply != nullptr && reply->found != 0 && reply->on != 0;
    }
    return answered ? std::optional<LockStates>(states) : std::nullopt;
}

}  // namespace qorval::analyser
