// The "Decoded Frames" pane: the latest capture's frames decoded by the capture's link
// protocol, one row a frame, with the filter that limits what the capture window shows and the
// log records (applied to the rows of the capture too, also after it stopped), and a find by
// the same kind of expression.
#pragma once

#include <QDockWidget>
#include <QTimer>
#include <memory>
#include <optional>

#include "analyser/analyser_app.h"
#include "analyser/decoded_list.h"
#include "analyser/window/decode/decoded_list_model.h"

class QLabel;
class QLineEdit;
class QTableView;

namespace qorval::analyser {

class DecodedFramesPane final : public QDockWidget {
    Q_OBJECT

  public:
    // The rows follow the record at this interval while the pane is shown.
    static constexpr int kRefreshMs = 200;

    DecodedFramesPane(CAnalyserApp& app, const CaptureRecord& record, QWidget* parent);

    // Applies the filter edit's expression to the capture under way and to the rows.
    void ApplyFilter();
    // Selects the next (or previous) row the find edit's expression matches.
    void Find(bool forward);
    // The link protocol changed: the rows are decoded again.
    void LinkChanged();
    // Takes in the frames the record gained.
    void Refresh();

    DecodedList& List() { return list_; }
    // What the rows' times count from: the start of the latest capture.
    uint64_t StartNs() const;
    QTableView& Table() { return *table_; }

  private:
    // Shows what is wrong with an expression under the edits (empty: nothing).
    void ShowProblem(const QString& text);

    CAnalyserApp& app_;
    DecodedList list_;
    DecodedListModel* model_;
    QLineEdit* filter_;
    QLineEdit* find_;
    QLabel* problem_;
    QTableView* table_;
    QTimer refresh_;
};

}  // namespace qorval::analyser
