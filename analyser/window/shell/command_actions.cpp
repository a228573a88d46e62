#include "analyser/window/shell/command_actions.h"

#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <optional>

#include "platform/window/desktop_icon.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser {
namespace {

// The display formats have no icon in the desktop's or Qt's sets: their buttons show the
// format's letter, drawn as an icon.
QIcon LetterIcon(const QString& letter) {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(40, 60, 110));
    QFont font = painter.font();
    font.setPixelSize(15);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(0, 0, 20, 20), Qt::AlignCenter, letter);
    return QIcon(pixmap);
}

// What a toolbar button shows: a theme icon with Qt's icon as fallback, or a letter.
struct ButtonIcon {
    const char* themeName = nullptr;
    QStyle::StandardPixmap standard = QStyle::SP_CustomBase;
    const char* letter = nullptr;

    QIcon Make() const {
        return letter != nullptr ? LetterIcon(QString::fromLatin1(letter))
                                 : ui::DesktopIcon(themeName, standard);
    }
};

struct ActionText {
    const char* name;
    const char* text;
    // "prompt\ntool tip", as the status bar and the tool tip show them.
    const char* prompt;
    QList<QKeySequence> keys = {};
    bool checkable = false;
    std::optional<ButtonIcon> icon = std::nullopt;  // toolbar buttons only
};

QAction* Make(QObject* owner, const ActionText& item) {
    auto* action = new QAction(ui::ToQString(item.text), owner);
    action->setObjectName(item.name);
    const QString prompt = ui::ToQString(item.prompt);
    const qsizetype split = prompt.indexOf(QLatin1Char('\n'));
    action->setStatusTip(split < 0 ? prompt : prompt.left(split));
    action->setToolTip(split < 0 ? prompt : prompt.mid(split + 1));
    action->setShortcuts(item.keys);
    action->setCheckable(item.checkable);
    if (item.icon) {
        action->setIcon(item.icon->Make());
    }
    // Menus show their check marks and no pictures, so a marked item reads at a glance.
    action->setIconVisibleInMenu(false);
    return action;
}

QKeySequence Ctrl(Qt::Key key) {
    return QKeySequence(Qt::CTRL | key);
}

}  // namespace

QList<QKeySequence> CommandActions::FrameKeys() const {
    QList<QKeySequence> keys;
    for (QAction* action : {fileNew, fileOpen, fileSave, views.print, deviceInfo, enableLogging,
                            enableTransmit, ascii, hex, mixed, nextPane, previousPane}) {
        keys += action->shortcuts();
    }
    return keys;
}

CommandActions MakeCommandActions(QObject* owner) {
    CommandActions a;
    auto make = [owner](const ActionText& item) { return Make(owner, item); };

    a.fileNew = make({"fileNew", "&New\tCtrl+N", "Create a new document\nNew", {Ctrl(Qt::Key_N)},
                      false, ButtonIcon{"document-new", QStyle::SP_FileIcon}});
    a.fileOpen = make({"fileOpen", "&Open...\tCtrl+O", "Open an existing document\nOpen",
                       {Ctrl(Qt::Key_O)}, false, ButtonIcon{"document-open", QStyle::SP_DialogOpenButton}});
    a.fileClose = make({"fileClose", "&Close", "Close the active document\nClose"});
    a.fileSave = make({"fileSave", "&Save\tCtrl+S", "Save the active document\nSave",
                       {Ctrl(Qt::Key_S)}, false, ButtonIcon{"document-save", QStyle::SP_DialogSaveButton}});
    a.fileSaveAs = make({"fileSaveAs", "Save &As...",
                         "Save the active document with a new name\nSave As"});
    a.exportCapture = make({"exportCapture", "&Export Capture...",
                            "Write the frames of the last capture to a pcapng file\nExport "
                            "Capture"});
    for (size_t i = 0; i < a.recentFiles.size(); ++i) {
        const std::string name = "recentFile" + std::to_string(i + 1);
        a.recentFiles[i] = make({name.c_str(), "", "Open this document"});
    }
    a.exit = make({"exit", "E&xit", "Quit the application; prompts to save documents\nExit"});

    a.undo = make({"undo", "&Undo\tCtrl+Z", "Undo the last action\nUndo",
                   {Ctrl(Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)}, false, ButtonIcon{"edit-undo", QStyle::SP_ArrowBack}});
    a.cut = make({"cut", "Cu&t\tCtrl+X", "Cut the selection and put it on the Clipboard\nCut",
                  {Ctrl(Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)}, false, ButtonIcon{"edit-cut", QStyle::SP_DialogDiscardButton}});
    a.copy = make({"copy", "&Copy\tCtrl+C", "Copy the selection and put it on the Clipboard\nCopy",
                   {Ctrl(Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)}, false, ButtonIcon{"edit-copy", QStyle::SP_FileLinkIcon}});
    a.paste = make({"paste", "&Paste\tCtrl+V", "Insert Clipboard contents\nPaste",
                    {Ctrl(Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)}, false, ButtonIcon{"edit-paste", QStyle::SP_ArrowDown}});

    a.toolbar = make({"toolbar", "&Toolbar", "Show or hide the toolbar\nToggle ToolBar", {}, true});
    a.statusBar = make({"statusBar", "&Status Bar", "Show or hide the status bar\nToggle "
                        "StatusBar", {}, true});
    a.deviceInfo = make({"deviceInfo", "&Device Info\tCtrl+D",
                         "Show the information and counters of the port\nDevice Info",
                         {Ctrl(Qt::Key_D)}});

    a.capture = make({"capture", "&Start/Stop Data Capture",
                      "Toggle capturing of data from link\nToggle Capturing", {}, true, ButtonIcon{"media-record", QStyle::SP_MediaPlay}});
    a.selectDriverPort = make({"selectDriverPort", "Select &Driver/Port...",
                               "Select the driver and the port to use\nSelect Driver/Port"});
    a.nodeAddress = make({"nodeAddress", "Set &Node Address...",
                          "Set the node address of the port\nSet Node Address"});
    a.resetBuffers = make({"resetBuffers", "&Reset Buffers...",
                           "Reset the transmit or receive buffers of the port\nReset Buffers"});
    a.modem = make({"modem", "&Get/Set Modem...",
                    "Get or set the modem control lines of the port\nGet/Set Modem"});
    a.portState = make({"portState", "Get/Set &Port State...",
                        "Get or set the state of the port\nGet/Set Port State"});
    a.transmitChar = make({"transmitChar", "Transmit &Comm Char...",
                           "Send a single character on the link\nTransmit Comm Char"});
    a.loggingOptions = make({"loggingOptions", "&Logging Options...",
                             "Set the log file name and format\nLogging Options"});
    a.enableLogging = make({"enableLogging", "&Enable Logging\tCtrl+L",
                            "Toggle logging of link data to the log file\nToggle Logging",
                            {Ctrl(Qt::Key_L)}, true, ButtonIcon{"text-x-generic", QStyle::SP_FileDialogDetailedView}});
    a.sendOptions = make({"sendOptions", "Send &Options...",
                          "Set the macro program and send data files\nSend Options"});
    a.enableTransmit = make({"enableTransmit", "Enable &Transmit\tCtrl+T",
                             "Toggle transmission of data on the link\nToggle Transmit",
                             {Ctrl(Qt::Key_T)}, true, ButtonIcon{"mail-send-receive", QStyle::SP_ArrowForward}});

    a.replay = make({"replay", "Re&play Capture...",
                     "Put the frames that arrived in a capture file onto the port\nReplay "
                     "Capture",
                     {}, true});

    a.ascii = make({"ascii", "&ASCII\tCtrl+A", "Display link data as ASCII text\nASCII",
                    {Ctrl(Qt::Key_A)}, true, ButtonIcon{nullptr, QStyle::SP_CustomBase, "A"}});
    a.hex = make({"hex", "&Hex\tCtrl+E", "Display link data as hexadecimal bytes\nHex",
                  {Ctrl(Qt::Key_E)}, true, ButtonIcon{nullptr, QStyle::SP_CustomBase, "H"}});
    a.mixed = make({"mixed", "&Mixed\tCtrl+M",
                    "Display link data as hexadecimal bytes and ASCII text\nMixed",
                    {Ctrl(Qt::Key_M)}, true, ButtonIcon{nullptr, QStyle::SP_CustomBase, "M"}});

    a.timeOff = make({"timeOff", "&Off", "Show no times in front of the frames\nNo Time Column",
                      {}, true});
    a.timeSinceStart = make({"timeSinceStart", "Since &Start of Capture",
                             "Show each frame's time since capture started\nTime Since Start",
                             {}, true});
    a.timeSincePrevious = make({"timeSincePrevious", "Since &Previous Frame",
                                "Show each frame's time since the frame before it\nTime Since "
                                "Previous Frame",
                                {}, true});

    a.cascade = make({"cascade", "&Cascade", "Arrange windows so they overlap\nCascade Windows"});
    a.tile = make({"tile", "&Tile", "Arrange windows as non-overlapping tiles\nTile Windows"});
    a.arrangeIcons = make({"arrangeIcons", "&Arrange Icons",
                           "Arrange icons at the bottom of the window\nArrange Icons"});
    a.nextPane = make({"nextPane", "Next Window", "Switch to the next window\nNext Window",
                       {QKeySequence(Qt::Key_F6)}});
    a.previousPane = make({"previousPane", "Previous Window",
                           "Switch to the previous window\nPrevious Window",
                           {QKeySequence(Qt::SHIFT | Qt::Key_F6)}});

    a.about = make({"about", "&About Lombex...",
                    "Display program information, version number and copyright\nAbout", {},
                    false, ButtonIcon{"help-browser", QStyle::SP_MessageBoxInformation}});

    ViewCommandActions& v = a.views;
    v.wordWrap = make({"wordWrap", "&Word Wrap\tCtrl+W",
                       "Toggle the wrapping of long lines\nWord Wrap", {}, true});
    v.setTabStops = make({"setTabStops", "Set Ta&b Stops...",
                          "Set the distance of the tab stops\nSet Tab Stops"});
    v.setFont = make({"setFont", "Set &Font...", "Set the display font\nSet Font"});
    v.setPrinterFont = make({"setPrinterFont", "Set &Printer Font...",
                             "Set the font for printing\nSet Printer Font", {}, true});
    v.mirrorDisplayFont = make({"mirrorDisplayFont", "&Mirror Display Font",
                                "Print with the display font\nMirror Display Font", {}, true});
    v.pageSetup = make({"pageSetup", "Page Se&tup...",
                        "Set the page header and footer\nPage Setup"});
    v.print = make({"print", "&Print...\tCtrl+P", "Print the active document\nPrint",
                    {Ctrl(Qt::Key_P)}, false, ButtonIcon{"document-print", QStyle::SP_FileDialogContentsView}});
    v.printPreview = make({"printPreview", "Print Pre&view", "Display full pages\nPrint Preview"});
    v.printSetup = make({"printSetup", "P&rint Setup...",
                         "Change the printer and printing options\nPrint Setup"});
    return a;
}

}  // namespace qorval::analyser
