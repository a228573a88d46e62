// The CAP, NUM and SCRL panes as a user sees them while pressing the lock keys: on an X server
// real key presses (XTest) change the server's locks, which the panes and the typed text both
// follow; offscreen the panes follow the lock keys that come through the platform's key input.
#include <QLabel>
#include <QTextCursor>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include "analyser/window/shell/status_panes.h"
#include "analyser/window/shell/tests/shell_test_fixture.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser::testing {
namespace {

constexpr uint32_t kCapsLockSym = 0xFFE5;
constexpr uint32_t kLetterASym = 0x61;

bool OnX() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// True when the pane shows its text: ink inside its sunken frame.
bool Lit(QLabel& pane) {
    const QImage image = pane.grab().toImage();
    const QColor background = image.pixelColor(3, 3);
    int ink = 0;
    for (int y = 3; y < image.height() - 3; ++y) {
        for (int x = 3; x < image.width() - 3; ++x) {
            const QColor c = image.pixelColor(x, y);
            ink += std::abs(c.lightness() - background.lightness()) > 60 ? 1 : 0;
        }
    }
    return ink > 5;
}

class LockIndicators : public ShellTest {
  protected:
    QLabel& Pane(int index) { return frame_->Panes().Indicator(index); }
    bool WaitLit(int index, bool lit) {
        return WaitFor([&] { return Lit(Pane(index)) == lit; });
    }
    CLombex32View& Document() {
        Trigger(frame_->Actions().fileNew);
        return frame_->ActiveChild()->View();
    }
};

// A key press and release on the X server, as from the keyboard.
void PressOnServer(uint32_t keysym) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11->connection();
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const uint8_t count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    xcb_get_keyboard_mapping_reply_t* mapping = xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, count), nullptr);
    ASSERT_NE(mapping, nullptr);
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping);
    const int perCode = mapping->keysyms_per_keycode;
    xcb_keycode_t code = 0;
    for (int i = 0; i < count * perCode && code == 0; ++i) {
        if (syms[i] == keysym) {
            code = static_cast<xcb_keycode_t>(setup->min_keycode + i / perCode);
        }
    }
    std::free(mapping);
    ASSERT_NE(code, 0) << "no key for keysym " << keysym;
    for (const uint8_t type : {uint8_t{XCB_KEY_PRESS}, uint8_t{XCB_KEY_RELEASE}}) {
        xcb_test_fake_input(connection, type, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }
    xcb_flush(connection);
}

TEST_F(LockIndicators, OnTheXServerShowTheServersLocksAsTypingGivesThem) {
    if (!OnX()) {
        GTEST_SKIP() << "needs an X server (the window label runs it under xvfb)";
    }
    CLombex32View& view = Document();
    Type(view, "");  // shown, active, the view has the focus
    ASSERT_TRUE(WaitLit(0, false)) << "caps lock is on before the test";
    PressOnServer(kCapsLockSym);
    EXPECT_TRUE(WaitLit(0, true));
    PressOnServer(kLetterASym);
    EXPECT_TRUE(WaitFor([&] { return view.toPlainText() == "A"; })) << ui::FromQString(view.toPlainText());
    PressOnServer(kCapsLockSym);
    EXPECT_TRUE(WaitLit(0, false));
    PressOnServer(kLetterASym);
    EXPECT_TRUE(WaitFor([&] { return view.toPlainText() == "Aa"; })) << ui::FromQString(view.toPlainText());
    EXPECT_TRUE(Lit(Pane(0)) == false);
}

TEST_F(LockIndicators, OffscreenFollowEveryLockKeyThatComesThroughTheKeyInput) {
    if (OnX()) {
        GTEST_SKIP() << "on an X server the panes show the server's locks";
    }
    CLombex32View& view = Document();
    Type(view, "");
    EXPECT_FALSE(Lit(Pane(0)));
    // Each press reaches the view and its parents: it counts once, however many see it.
    for (int round = 0; round < 3; ++round) {
        PressKey(view, Qt::Key_CapsLock);
        EXPECT_TRUE(Lit(Pane(0))) << round;
        Type(view, "a");
        PressKey(view, Qt::Key_CapsLock);
        EXPECT_FALSE(Lit(Pane(0))) << round;
        Type(view, "a");
    }
    PressKey(view, Qt::Key_NumLock);
    PressKey(view, Qt::Key_ScrollLock);
    EXPECT_TRUE(Lit(Pane(1)));
    EXPECT_TRUE(Lit(Pane(2)));
    EXPECT_FALSE(Lit(Pane(0)));
    PressKey(view, Qt::Key_NumLock);
    EXPECT_FALSE(Lit(Pane(1)));
}

}  // namespace
}  // namespace qorval::analyser::testing
