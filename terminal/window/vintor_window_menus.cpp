// The main window's menus and toolbars.

#include <QEvent>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include "terminal/window/vintor_window.h"
#include "terminal/window/window_texts.h"

namespace qorval::terminal::window {
namespace {

// A checked item that shows and hides `widget`, and follows it when it is hidden otherwise.
QAction* AddShowHideItem(QMenu* menu, const char* text, QWidget* widget, const char* name) {
    QAction* item = menu->addAction(text);
    item->setObjectName(name);
    item->setCheckable(true);
    item->setChecked(true);
    QObject::connect(item, &QAction::toggled, widget, &QWidget::setVisible);
    return item;
}

// Keeps the mouse buttons from an indicator, so it cannot be pressed, while hovering still
// reaches it and shows its tool tip.
class IndicatorOnly final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
                return true;
            default:
                return QObject::eventFilter(watched, event);
        }
    }
};

QAction* AddModemButton(QToolBar* bar, const char* label, const char* tip, const char* name,
                        bool command) {
    QAction* button = bar->addAction(label);
    button->setObjectName(name);
    button->setToolTip(tip);
    button->setCheckable(true);
    if (!command) {
        // An indicator: it shows the line and cannot be pressed.
        QWidget* widget = bar->widgetForAction(button);
        widget->installEventFilter(new IndicatorOnly(widget));
    }
    return button;
}

}  // namespace

void VintorWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu(kMenuFile);
    file->setObjectName("fileMenu");
    open_log_ = file->addAction(kItemOpenLog);
    close_log_ = file->addAction(kItemCloseLog);
    file->addSeparator();
    transmit_text_ = file->addAction(kItemTransmitText);
    transmit_bin_ = file->addAction(kItemTransmitBin);
    receive_bin_ = file->addAction(kItemReceiveBin);
    file->addSeparator();
    QAction* exit = file->addAction(kItemExit);

    open_log_->setObjectName("openLog");
    close_log_->setObjectName("closeLog");
    transmit_text_->setObjectName("transmitText");
    transmit_bin_->setObjectName("transmitBin");
    receive_bin_->setObjectName("receiveBin");
    exit->setObjectName("exit");
    auto route = [this](QAction* item, auto command) {
        connect(item, &QAction::triggered, this, [this, command] { Run(command); });
    };
    route(open_log_, [this] { session_->OpenLogCommand(); });
    route(close_log_, [this] { session_->CloseLog(); });
    route(transmit_text_, [this] { session_->TransmitTextFileCommand(); });
    route(transmit_bin_, [this] { session_->TransmitBinFileCommand(); });
    route(receive_bin_, [this] { session_->ReceiveBinFileCommand(); });
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* comms = menuBar()->addMenu(kMenuCommunications);
    comms->setObjectName("communicationsMenu");
    port_open_ = comms->addAction(QString());
    port_open_->setObjectName("portOpen");
    settings_ = comms->addAction(kItemSettings);
    settings_->setObjectName("settings");
    QAction* options = comms->addAction(kItemProgramOptions);
    options->setObjectName("programOptions");
    route(port_open_, [this] { session_->PortOpenCommand(); });
    route(settings_, [this] { OnSettings(); });
    route(options, [this] { OnProgramOptions(); });
}

void VintorWindow::BuildToolbars() {
    main_toolbar_ = addToolBar("Toolbar");
    main_toolbar_->setObjectName("mainToolbar");
    QStyle* look = style();
    auto tool = [this, look](QAction* item, QStyle::StandardPixmap icon, const char* tip) {
        item->setIcon(look->standardIcon(icon));
        item->setToolTip(tip);
        main_toolbar_->addAction(item);
    };
    tool(open_log_, QStyle::SP_DialogOpenButton, kTipOpenLog);
    tool(close_log_, QStyle::SP_DialogCloseButton, kTipCloseLog);
    tool(transmit_text_, QStyle::SP_ArrowForward, kTipTransmitText);

    modem_toolbar_ = addToolBar("Modem Control");
    modem_toolbar_->setObjectName("modemToolbar");
    modem_toolbar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    dtr_ = AddModemButton(modem_toolbar_, "DTR", kTipDtr, "dtr", true);
    rts_ = AddModemButton(modem_toolbar_, "RTS", kTipRts, "rts", true);
    modem_toolbar_->addSeparator();
    cts_ = AddModemButton(modem_toolbar_, "CTS", kTipCts, "cts", false);
    dsr_ = AddModemButton(modem_toolbar_, "DSR", kTipDsr, "dsr", false);
    dcd_ = AddModemButton(modem_toolbar_, "DCD", kTipDcd, "dcd", false);
    ri_ = AddModemButton(modem_toolbar_, "RI", kTipRi, "ri", false);
    connect(dtr_, &QAction::triggered, this, [this] { OnModemButton(dtr_, false); });
    connect(rts_, &QAction::triggered, this, [this] { OnModemButton(rts_, true); });

    QMenu* view = menuBar()->addMenu(kMenuView);
    view->setObjectName("viewMenu");
    AddShowHideItem(view, kItemModemControl, modem_toolbar_, "modemControl");
    AddShowHideItem(view, kItemToolbar, main_toolbar_, "toolbarItem");
    AddShowHideItem(view, kItemStatusBar, statusBar(), "statusBarItem");

    QMenu* help = menuBar()->addMenu(kMenuHelp);
    help->setObjectName("helpMenu");
    QAction* about = help->addAction(kItemAbout);
    about->setObjectName("about");
    connect(about, &QAction::triggered, this, [this] { Run([this] { OnAbout(); }); });
    tool(about, QStyle::SP_MessageBoxInformation, kTipAbout);
}

}  // namespace qorval::terminal::window
