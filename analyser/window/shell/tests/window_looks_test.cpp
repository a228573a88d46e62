// What the main window looks like to its user: the marks of the menus, the toolbar's pictures,
// a toolbar button while a command's box is up, the caption over a maximised document, the
// document windows' icon and the caption of Print Setup.
#include <QMdiSubWindow>
#include <QMenu>
#include <QPageSetupDialog>
#include <QToolBar>
#include <QToolButton>

#include "analyser/window/shell/tests/shell_test_fixture.h"
#include "platform/profile.h"
#include "platform/window/desktop_icon.h"
#include "platform/window/qt_user_messages.h"
#include "platform/window/testing/modal_driver.h"
#include "platform/window/testing/screenshot.h"

namespace qorval::analyser::testing {
namespace {

// Pixels of `area` in `image` that stand out from the area's first pixel (its background).
int Ink(const QImage& image, const QRect& area) {
    const QColor background = image.pixelColor(area.topLeft());
    int ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            ink += std::abs(image.pixelColor(x, y).lightness() - background.lightness()) > 80;
        }
    }
    return ink;
}

class WindowLooks : public ShellTest {
  protected:
    // Whether the Format menu, open on the screen, shows a mark in front of `action`: ink in
    // the strip before the item's text.
    bool MarkShown(QAction* action) {
        QMenu* menu = nullptr;
        for (QMenu* candidate : frame_->findChildren<QMenu*>("formatMenu")) {
            menu = candidate;
        }
        menu->popup(frame_->mapToGlobal(QPoint(10, 10)));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(menu));
        const QImage image = menu->grab().toImage();
        const QRect item = menu->actionGeometry(action);
        const QRect strip(item.left() + 2, item.top() + 2, item.height() - 2, item.height() - 4);
        menu->hide();
        return Ink(image, strip) > 8;
    }
    QToolButton* Button(QAction* action) {
        auto* bar = frame_->findChild<QToolBar*>("toolbar");
        return qobject_cast<QToolButton*>(bar->widgetForAction(action));
    }
};

TEST_F(WindowLooks, TheFormatMenuMarksTheFormatReadFromTheProfileAndOnlyThen) {
    frame_.reset();
    {
        platform::ProfileFile profile(dir_ / "lombex32.ini");
        ASSERT_TRUE(profile.WriteString("PARMS", "DISPLAY", "1"));
    }
    frame_ = std::make_unique<CMainFrame>(dir_ / "lombex32.ini", &messages_);
    frame_->show();
    CommandActions& a = frame_->Actions();
    // Before the settings are read no format is marked.
    EXPECT_FALSE(MarkShown(a.ascii));
    EXPECT_FALSE(MarkShown(a.hex));
    ASSERT_TRUE(frame_->StartEngine());
    EXPECT_FALSE(MarkShown(a.ascii));
    EXPECT_TRUE(MarkShown(a.hex));
    EXPECT_FALSE(MarkShown(a.mixed));
    Trigger(a.mixed);
    EXPECT_FALSE(MarkShown(a.hex));
    EXPECT_TRUE(MarkShown(a.mixed));
}

TEST_F(WindowLooks, ACheckableButtonIsNotShownPressedWhileItsCommandsBoxIsUp) {
    frame_->show();
    QToolButton* capture = Button(frame_->Actions().capture);
    ASSERT_NE(capture, nullptr);
    const QImage up = capture->grab().toImage();
    // The box has no port to capture from: what the button shows meanwhile is kept.
    struct Watching : ui::testing::RecordingUserMessages {
        std::function<void()> onBox;
        MessageAnswer ShowMessage(const Message& message) override {
            onBox();
            return RecordingUserMessages::ShowMessage(message);
        }
    };
    QImage duringBox;
    auto* watching = new Watching;
    watching->onBox = [&] { duringBox = capture->grab().toImage(); };
    frame_.reset();
    frame_ = std::make_unique<CMainFrame>(dir_ / "lombex32.ini", watching);
    ASSERT_TRUE(frame_->StartEngine());
    frame_->show();
    capture = Button(frame_->Actions().capture);
    QTest::mouseClick(capture, Qt::LeftButton);
    ASSERT_EQ(watching->LastText().rfind("Driver and Port have not been selected!", 0), 0u);
    EXPECT_TRUE(duringBox == up) << "the button looks pressed while the box is up";
    EXPECT_FALSE(frame_->Actions().capture->isChecked());
    frame_.reset();
    delete watching;
}

TEST_F(WindowLooks, TheToolbarShowsDesktopIconsWithTheirToolTips) {
    const struct {
        QAction* action;
        const char* icon;
        const char* tip;
    } buttons[] = {{frame_->Actions().fileNew, "document-new", "New"},
                   {frame_->Actions().cut, "edit-cut", "Cut"},
                   {frame_->Actions().capture, "media-record", "Toggle Capturing"},
                   {frame_->Actions().views.print, "document-print", "Print"}};
    frame_->show();
    for (const auto& button : buttons) {
        QToolButton* tool = Button(button.action);
        ASSERT_NE(tool, nullptr) << button.tip;
        EXPECT_EQ(tool->toolButtonStyle(), Qt::ToolButtonIconOnly);
        const QImage shown = tool->icon().pixmap(16, 16).toImage();
        const QImage desktop =
            ui::DesktopIcon(button.icon, QStyle::SP_CustomBase).pixmap(16, 16).toImage();
        EXPECT_FALSE(desktop.isNull()) << button.icon << " is not in the icon theme";
        EXPECT_TRUE(shown == desktop) << button.tip;
        EXPECT_EQ(ui::FromQString(button.action->toolTip()), button.tip);
    }
}

TEST_F(WindowLooks, AMaximisedDocumentIsNamedOnceInTheCaptionAndHasADocumentIcon) {
    frame_->show();
    Trigger(frame_->Actions().fileNew);
    Trigger(frame_->Actions().fileNew);
    CChildFrame* child = frame_->ActiveChild();
    const auto caption = [&] { return ui::FromQString(frame_->windowHandle()->title()); };
    EXPECT_TRUE(WaitFor([&] { return caption() == "Lombex for NT - Lombex2"; })) << caption();
    child->showMaximized();
    EXPECT_TRUE(WaitFor([&] { return caption() == "Lombex for NT - [Lombex2]"; })) << caption();
    child->showNormal();
    EXPECT_TRUE(WaitFor([&] { return caption() == "Lombex for NT - Lombex2"; })) << caption();
    const QImage icon = child->windowIcon().pixmap(16, 16).toImage();
    const QImage qtLogo =
        QApplication::style()->standardIcon(QStyle::SP_TitleBarMenuButton).pixmap(16, 16).toImage();
    EXPECT_FALSE(icon == qtLogo);
    EXPECT_TRUE(icon == ui::DesktopIcon("text-x-generic", QStyle::SP_FileIcon).pixmap(16, 16).toImage());
}

TEST_F(WindowLooks, PrintSetupIsCaptionedPrintSetup) {
    ui::testing::WhenModal([](QWidget* modal) {
        EXPECT_NE(qobject_cast<QPageSetupDialog*>(modal), nullptr);
        EXPECT_EQ(ui::FromQString(modal->windowTitle()), "Print Setup");
        modal->close();
    });
    Trigger(frame_->Actions().views.printSetup);
}

}  // namespace
}  // namespace qorval::analyser::testing
