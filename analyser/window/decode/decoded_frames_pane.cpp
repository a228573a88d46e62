#include "analyser/window/decode/decoded_frames_pane.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "analyser/window/decode/refresh_while_shown.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser {
namespace {

constexpr const char* kTitle = "Decoded Frames";
constexpr const char* kFilterProblem = "Filter, %1";
constexpr const char* kFindProblem = "Find, %1";
constexpr const char* kNoneAfter = "No frame after this one matches.";
constexpr const char* kNoneBefore = "No frame before this one matches.";

}  // namespace

DecodedFramesPane::DecodedFramesPane(CAnalyserApp& app, const CaptureRecord& record,
                                     QWidget* parent)
    : QDockWidget(QString::fromLatin1(kTitle), parent), app_(app), list_(record) {
    setObjectName("decodedFramesPane");
    list_.SetLink(app_.LinkProtocolSetting());
    model_ = new DecodedListModel(list_, [this] { return StartNs(); }, this);

    auto* body = new QWidget(this);
    auto* layout = new QGridLayout(body);
    filter_ = new QLineEdit(body);
    filter_->setObjectName("filterEdit");
    filter_->setPlaceholderText(QStringLiteral("type == RNR || dlci == 100 && de"));
    auto* apply = new QPushButton(QStringLiteral("&Apply"), body);
    apply->setObjectName("applyFilter");
    find_ = new QLineEdit(body);
    find_->setObjectName("findEdit");
    find_->setPlaceholderText(QStringLiteral("ns == 3"));
    auto* next = new QPushButton(QStringLiteral("Find &Next"), body);
    next->setObjectName("findNext");
    auto* previous = new QPushButton(QStringLiteral("Find &Previous"), body);
    previous->setObjectName("findPrevious");
    problem_ = new QLabel(body);
    problem_->setObjectName("expressionProblem");
    problem_->setStyleSheet(QStringLiteral("color: #b00020"));
    problem_->hide();
    table_ = new QTableView(body);
    table_->setObjectName("decodedList");
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setWordWrap(false);
    // Widths for what the columns hold, from the font: measuring every row would cost a pass
    // over a capture of a million frames.
    const QFontMetrics metrics = table_->fontMetrics();
    const char* widest[] = {"00000000", "0000.000000", "received", "000000",
                            "CRC error on GetData!"};
    for (int column = 0; column < DecodedListModel::kDecoded; ++column) {
        table_->setColumnWidth(column,
                               metrics.horizontalAdvance(QString::fromLatin1(widest[column])) + 16);
    }
    table_->verticalHeader()->setDefaultSectionSize(metrics.height() + 6);

    layout->addWidget(new QLabel(QStringLiteral("Filter:"), body), 0, 0);
    layout->addWidget(filter_, 0, 1);
    layout->addWidget(apply, 0, 2);
    layout->addWidget(new QLabel(QStringLiteral("Find:"), body), 1, 0);
    layout->addWidget(find_, 1, 1);
    auto* findButtons = new QHBoxLayout;
    findButtons->addWidget(next);
    findButtons->addWidget(previous);
    layout->addLayout(findButtons, 1, 2);
    layout->addWidget(problem_, 2, 0, 1, 3);
    layout->addWidget(table_, 3, 0, 1, 3);
    setWidget(body);

    connect(apply, &QPushButton::clicked, this, &DecodedFramesPane::ApplyFilter);
    connect(filter_, &QLineEdit::returnPressed, this, &DecodedFramesPane::ApplyFilter);
    connect(next, &QPushButton::clicked, this, [this] { Find(true); });
    connect(previous, &QPushButton::clicked, this, [this] { Find(false); });
    connect(find_, &QLineEdit::returnPressed, this, [this] { Find(true); });
    RefreshWhileShown(*this, refresh_, kRefreshMs, [this] { Refresh(); });
}

uint64_t DecodedFramesPane::StartNs() const {
    return app_.CaptureStartNs();
}

void DecodedFramesPane::ShowProblem(const QString& text) {
    problem_->setText(text);
    problem_->setVisible(!text.isEmpty());
}

void DecodedFramesPane::ApplyFilter() {
    const std::string expression = ui::FromQString(filter_->text());
    if (const std::optional<FilterError> error = app_.SetFilter(expression)) {
        ShowProblem(QString::fromLatin1(kFilterProblem).arg(ui::ToQString(error->Text())));
        return;
    }
    ShowProblem({});
    (void)list_.SetFilter(expression);  // the same expression, checked above
    model_->Reset();
}

void DecodedFramesPane::Find(bool forward) {
    auto parsed = FrameFilter::Parse(ui::FromQString(find_->text()));
    if (const auto* error = std::get_if<FilterError>(&parsed)) {
        ShowProblem(QString::fromLatin1(kFindProblem).arg(ui::ToQString(error->Text())));
        return;
    }
    ShowProblem({});
    Refresh();
    const QModelIndex current = table_->currentIndex();
    const std::optional<size_t> from =
        current.isValid() ? std::optional<size_t>(static_cast<size_t>(current.row()))
                          : std::nullopt;
    const std::optional<size_t> found = list_.Find(std::get<FrameFilter>(parsed), from, forward);
    if (!found) {
        app_.Ui().ShowStatus(forward ? kNoneAfter : kNoneBefore);
        return;
    }
    const QModelIndex row = model_->index(static_cast<int>(*found), 0);
    table_->setCurrentIndex(row);
    table_->selectRow(row.row());
    table_->scrollTo(row);
}

void DecodedFramesPane::LinkChanged() {
    list_.SetLink(app_.LinkProtocolSetting());
    model_->Reset();
}

void DecodedFramesPane::Refresh() {
    model_->Refresh();
}

}  // namespace qorval::analyser
