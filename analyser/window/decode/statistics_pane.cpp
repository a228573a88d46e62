#include "analyser/window/decode/statistics_pane.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTableWidget>

#include "analyser/analyser_app.h"
#include "analyser/statistics/statistics_text.h"
#include "analyser/window/decode/refresh_while_shown.h"

namespace qorval::analyser {
namespace {

constexpr const char* kTitle = "Statistics";

QString Number(uint64_t value) {
    return QString::number(value);
}

}  // namespace

StatisticsPane::StatisticsPane(CAnalyserApp& app, QWidget* parent)
    : QDockWidget(QString::fromLatin1(kTitle), parent), app_(app) {
    setObjectName("statisticsPane");
    table_ = new QTableWidget(0, 2, this);
    table_->setObjectName("statisticsTable");
    table_->setHorizontalHeaderLabels({QStringLiteral("Figure"), QStringLiteral("Value")});
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setWordWrap(false);
    // Room for the longest label and a bit rate of a fast line, whatever the font.
    const QFontMetrics metrics = table_->fontMetrics();
    const int label = metrics.horizontalAdvance(QStringLiteral("Type SLARP KEEPALIVE")) + 16;
    const int value = metrics.horizontalAdvance(QStringLiteral("100000000 bit/s")) + 16;
    table_->setColumnWidth(0, label);
    table_->setMinimumWidth(label + value + 2 * table_->frameWidth() +
                            table_->verticalScrollBar()->sizeHint().width());
    table_->verticalHeader()->setDefaultSectionSize(metrics.height() + 6);
    setWidget(table_);
    RefreshWhileShown(*this, refresh_, kRefreshMs, [this] { Refresh(); });
}

void StatisticsPane::Refresh() {
    Show(app_.Statistics());
}

void StatisticsPane::Show(const StatisticsSnapshot& s) {
    QList<std::pair<QString, QString>> rows = {
        {QStringLiteral("Frames received"), Number(s.received.frames)},
        {QStringLiteral("Bytes received"), Number(s.received.bytes)},
        {QStringLiteral("Frames sent"), Number(s.sent.frames)},
        {QStringLiteral("Bytes sent"), Number(s.sent.bytes)},
        {QStringLiteral("Frames/s now"), Number(s.now.framesPerSecond)},
        {QStringLiteral("Frames/s peak"), Number(s.peak.framesPerSecond)},
        {QStringLiteral("Bit rate now"), Number(s.now.bitsPerSecond) + QStringLiteral(" bit/s")},
        {QStringLiteral("Bit rate peak"), Number(s.peak.bitsPerSecond) + QStringLiteral(" bit/s")},
    };
    for (size_t i = 0; i < std::size(kCountedErrors); ++i) {
        const std::string_view name = ErrorKindName(kCountedErrors[i]);
        rows.push_back({QStringLiteral("Errors ") + QString::fromLatin1(name.data(), name.size()),
                        Number(s.errors[i])});
        if (kCountedErrors[i] == FrameError::Overrun) {
            rows.push_back({QStringLiteral("Errors abort"), QString::fromLatin1(kAbortNotReported)});
        }
    }
    for (const auto& [kind, count] : s.kinds) {
        rows.push_back({QStringLiteral("Type ") + QString::fromLatin1(kind.data(), kind.size()),
                        Number(count)});
    }
    table_->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < rows.size(); ++row) {
        for (int column = 0; column < 2; ++column) {
            const QString& text = column == 0 ? rows[row].first : rows[row].second;
            QTableWidgetItem* item = table_->item(row, column);
            if (item == nullptr) {
                item = new QTableWidgetItem;
                table_->setItem(row, column, item);
            }
            item->setText(text);
            item->setTextAlignment(Qt::AlignVCenter | (column == 0 ? Qt::AlignLeft : Qt::AlignRight));
        }
    }
}

QString StatisticsPane::Figure(const QString& name) const {
    for (int row = 0; row < table_->rowCount(); ++row) {
        if (table_->item(row, 0) != nullptr && table_->item(row, 0)->text() == name) {
            return table_->item(row, 1)->text();
        }
    }
    return {};
}

}  // namespace qorval::analyser
