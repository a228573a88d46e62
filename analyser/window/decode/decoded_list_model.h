// The rows of the "Decoded Frames" pane: the decoded list of the latest capture as a table of
// No., Time, Direction, Length, Status and Decoded, each row decoded when it is drawn.
#pragma once

#include <QAbstractTableModel>
#include <functional>

#include "analyser/decoded_list.h"

namespace qorval::analyser {

class DecodedListModel final : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { kNumber, kTime, kDirection, kLength, kStatus, kDecoded, kColumns };

    // `startNs` gives the start of the capture the times count from.
    DecodedListModel(DecodedList& list, std::function<uint64_t()> startNs,
                     QObject* parent = nullptr);

    // Takes in what the capture record gained; rows only added are inserted, any other change
    // resets the table.
    void Refresh();
    // The list changed as a whole (a new link or filter).
    void Reset();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    DecodedList& list_;
    std::function<uint64_t()> startNs_;
    size_t rows_ = 0;  // the rows the view was told of
};

}  // namespace qorval::analyser
