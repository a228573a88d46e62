// The "Statistics" pane: the figures of the capture (the latest one, once it stopped), renewed
// while the pane is shown: frames and bytes each way, frames a second and bit rate now and at
// their peak, errors by kind and frames by type.
#pragma once

#include <QDockWidget>
#include <QTimer>

#include "analyser/statistics/capture_statistics.h"

class QTableWidget;

namespace qorval::analyser {

class CAnalyserApp;

class StatisticsPane final : public QDockWidget {
    Q_OBJECT

  public:
    static constexpr int kRefreshMs = 500;

    StatisticsPane(CAnalyserApp& app, QWidget* parent);

    // Shows the figures of this moment.
    void Refresh();
    // The figure in the row labelled `name` ("Frames received", "Type RNR", ...), or "".
    QString Figure(const QString& name) const;

  private:
    void Show(const StatisticsSnapshot& snapshot);

    CAnalyserApp& app_;
    QTableWidget* table_;
    QTimer refresh_;
};

}  // namespace qorval::analyser
