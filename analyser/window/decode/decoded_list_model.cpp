#include "analyser/window/decode/decoded_list_model.h"

#include "analyser/decoded_csv.h"
#include "analyser/decoded_line.h"
#include "analyser/get_data_errors.h"

namespace qorval::analyser {
namespace {

constexpr const char* kHeaders[] = {"No.", "Time", "Direction", "Length", "Status", "Decoded"};

}  // namespace

DecodedListModel::DecodedListModel(DecodedList& list, std::function<uint64_t()> startNs,
                                   QObject* parent)
    : QAbstractTableModel(parent), list_(list), startNs_(std::move(startNs)) {}

void DecodedListModel::Refresh() {
    const DecodedList::Change change = list_.Update();
    if (change == DecodedList::Change::None) {
        return;
    }
    // Rows only added at the end keep the selection and the scroll position.
    if (change == DecodedList::Change::Appended && list_.Size() > rows_) {
        beginInsertRows({}, static_cast<int>(rows_), static_cast<int>(list_.Size() - 1));
        rows_ = list_.Size();
        endInsertRows();
        return;
    }
    Reset();
}

void DecodedListModel::Reset() {
    beginResetModel();
    rows_ = list_.Size();
    endResetModel();
}

int DecodedListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_);
}

int DecodedListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant DecodedListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<size_t>(index.row()) >= list_.Size()) {
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        const bool number = index.column() == kNumber || index.column() == kLength ||
                            index.column() == kTime;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    DecodedRow row;
    list_.Describe(static_cast<size_t>(index.row()), row);
    switch (index.column()) {
        case kNumber:
            return QString::number(row.facts.number);
        case kTime:
            return QString::fromStdString(
                SecondsSince(row.frame->arrivalNs, startNs_ ? startNs_() : 0));
        case kDirection:
            return QString::fromLatin1(row.facts.sent ? "sent" : "received");
        case kLength:
            return QString::number(row.facts.length);
        case kStatus: {
            const std::string_view status =
                row.facts.result == 0 ? std::string_view("OK") : GetDataErrorText(row.facts.result);
            return QString::fromLatin1(status.data(), static_cast<qsizetype>(status.size()));
        }
        case kDecoded: {
            std::string text;
            AppendDecodedWords(text, row.facts, list_.Link(), row.frame->bytes);
            return QString::fromStdString(text);
        }
        default:
            return {};
    }
}

QVariant DecodedListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= kColumns) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return QString::fromLatin1(kHeaders[section]);
}

}  // namespace qorval::analyser
