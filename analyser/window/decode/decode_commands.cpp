#include "analyser/window/decode/decode_commands.h"

#include <QActionGroup>
#include <QMenu>

#include "analyser/string_printf.h"
#include "analyser/window/decode/decoded_frames_pane.h"
#include "analyser/window/decode/statistics_pane.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser {
namespace {

constexpr const char* kCsvFilter = "CSV Files (*.csv)|*.csv|All Files (*.*)|*.*||";
constexpr const char* kCannotExport = "Cannot write the decoded list %s.";
constexpr const char* kExported = "Decoded list exported to %s.";

QAction* MakeAction(QObject* owner, const char* name, const char* text, const char* prompt,
                    bool checkable = false) {
    auto* action = new QAction(QString::fromLatin1(text), owner);
    action->setObjectName(name);
    const QString both = QString::fromLatin1(prompt);
    action->setStatusTip(both.section(QLatin1Char('\n'), 0, 0));
    action->setToolTip(both.section(QLatin1Char('\n'), 1, 1));
    action->setCheckable(checkable);
    return action;
}

}  // namespace

DecodeCommands::DecodeCommands(QMainWindow& window, CAnalyserApp& app,
                               const CaptureRecord& record, AnalyserUi& ui)
    : QObject(&window), app_(app), ui_(ui) {
    frames_ = new DecodedFramesPane(app, record, &window);
    statistics_ = new StatisticsPane(app, &window);
    window.addDockWidget(Qt::BottomDockWidgetArea, frames_);
    window.addDockWidget(Qt::BottomDockWidgetArea, statistics_);
    window.splitDockWidget(frames_, statistics_, Qt::Horizontal);
    frames_->hide();
    statistics_->hide();

    DecodeActions& a = actions_;
    a.decoded = MakeAction(this, "formatDecoded", "&Decoded",
                           "Show each frame decoded by the link protocol\nDecoded", true);
    connect(a.decoded, &QAction::triggered, this, [this] {
        app_.SetDecodedView();
        UpdateStates();
    });
    auto* group = new QActionGroup(this);
    for (decode::LinkProtocol link : decode::kLinkProtocols) {
        const std::string title(LinkProtocolTitle(link));
        const std::string name = "link_" + std::string(LinkProtocolName(link));
        auto* action = new QAction(ui::ToQString(title), this);
        action->setObjectName(ui::ToQString(name));
        action->setCheckable(true);
        action->setStatusTip(QStringLiteral("Decode the frames of the capture as ") +
                             ui::ToQString(title));
        group->addAction(action);
        a.links.push_back(action);
        connect(action, &QAction::triggered, this, [this, link] {
            app_.SetLinkProtocol(link);
            frames_->LinkChanged();
            UpdateStates();
        });
    }
    a.decodedFrames = frames_->toggleViewAction();
    a.decodedFrames->setObjectName("viewDecodedFrames");
    a.decodedFrames->setText(QStringLiteral("Decoded &Frames"));
    a.decodedFrames->setStatusTip(QStringLiteral("Show or hide the decoded frames of the capture"));
    a.statistics = statistics_->toggleViewAction();
    a.statistics->setObjectName("viewStatistics");
    a.statistics->setText(QStringLiteral("S&tatistics"));
    a.statistics->setStatusTip(QStringLiteral("Show or hide the statistics of the capture"));
    a.findNext = MakeAction(this, "findNext", "Find &Next",
                            "Select the next decoded frame the find expression matches\nFind Next");
    a.findNext->setShortcut(QKeySequence(Qt::Key_F3));
    a.findPrevious =
        MakeAction(this, "findPrevious", "Find Pre&vious",
                   "Select the previous decoded frame the find expression matches\nFind Previous");
    a.findPrevious->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    for (const auto& [action, forward] : {std::pair{a.findNext, true}, {a.findPrevious, false}}) {
        window.addAction(action);
        connect(action, &QAction::triggered, this, [this, forward = forward] {
            frames_->show();
            frames_->Find(forward);
        });
    }
    a.exportDecodedList =
        MakeAction(this, "exportDecodedList", "Export Decoded &List...",
                   "Write the decoded frames as comma-separated values\nExport Decoded List");
    connect(a.exportDecodedList, &QAction::triggered, this, &DecodeCommands::ExportDecodedList);
    AddToMenus(window);
    UpdateStates();
}

DecodeCommands::~DecodeCommands() {
    delete frames_;
    delete statistics_;
}

void DecodeCommands::AddToMenus(QMainWindow& window) {
    if (auto* format = window.findChild<QMenu*>("formatMenu")) {
        // Decoded beside the byte formats, ahead of the separator before the submenus.
        QAction* separator = nullptr;
        for (QAction* item : format->actions()) {
            if (item->isSeparator()) {
                separator = item;
                break;
            }
        }
        format->insertAction(separator, actions_.decoded);
        if (separator == nullptr) {
            format->addSeparator();
        }
        QMenu* links = format->addMenu(QStringLiteral("Link &Protocol"));
        links->setObjectName("linkProtocolMenu");
        links->addActions(actions_.links);
    }
    if (auto* view = window.findChild<QMenu*>("viewMenu")) {
        view->addSeparator();
        view->addAction(actions_.decodedFrames);
        view->addAction(actions_.statistics);
        view->addAction(actions_.findNext);
        view->addAction(actions_.findPrevious);
    }
    // After "Export Capture..." in both File menus.
    for (const char* name : {"fileMenu", "fileMenuWithDocument"}) {
        auto* file = window.findChild<QMenu*>(name);
        if (file == nullptr) {
            continue;
        }
        const QList<QAction*> items = file->actions();
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (items[i]->objectName() == QLatin1String("exportCapture")) {
                file->insertAction(i + 1 < items.size() ? items[i + 1] : nullptr,
                                   actions_.exportDecodedList);
                break;
            }
        }
    }
}

void DecodeCommands::UpdateStates() {
    actions_.decoded->setChecked(app_.DecodedView());
    for (qsizetype i = 0; i < actions_.links.size(); ++i) {
        actions_.links[i]->setChecked(decode::kLinkProtocols[i] == app_.LinkProtocolSetting());
    }
    frames_->Refresh();
    actions_.exportDecodedList->setEnabled(frames_->List().Size() != 0);
}

void DecodeCommands::ExportDecodedList() {
    ui::FileChoice choice;
    choice.mode = ui::FileChoiceMode::Save;
    choice.caption = "Export Decoded List";
    choice.filter = kCsvFilter;
    choice.defaultExtension = "csv";
    const std::optional<std::string> path = ui_.ChooseFile(choice);
    if (!path) {
        return;
    }
    frames_->Refresh();
    if (!frames_->List().WriteCsv(*path, frames_->StartNs())) {
        ui::ShowWarning(ui_, StringPrintf(kCannotExport, path->c_str()), CAnalyserApp::kCaption);
        return;
    }
    ui_.ShowStatus(StringPrintf(kExported, path->c_str()));
}

}  // namespace qorval::analyser
