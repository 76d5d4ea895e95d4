#include "ui/wizard/result_list_model.h"

#include <cassert>
#include <iterator>

namespace quorvane::ui {

int ResultListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ResultListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  const ResultRow& row = Row(index.row());
  const std::string& text = index.column() == 0 ? row.path : row.size;
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  if (role != Qt::DisplayRole) return {};
  return section == 0 ? QStringLiteral("File Name") : QStringLiteral("Size");
}

void ResultListModel::AddAtTop(std::vector<ResultRow> rows) {
  if (rows.empty()) return;
  beginInsertRows({}, 0, static_cast<int>(rows.size()) - 1);
  if (rows_.empty()) {
    rows_ = std::move(rows);
  } else {
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()),
                 std::make_move_iterator(rows.end()));
  }
  endInsertRows();
}

void ResultListModel::Clear() {
  if (rows_.empty()) return;
  // Removed rows rather than a reset: a reset would also put the list's
  // column widths back to their defaults.
  beginRemoveRows({}, 0, static_cast<int>(rows_.size()) - 1);
  std::vector<ResultRow>().swap(rows_);
  endRemoveRows();
}

const ResultRow& ResultListModel::Row(int row) const {
  assert(row >= 0 && static_cast<size_t>(row) < rows_.size());
  return rows_[rows_.size() - 1 - static_cast<size_t>(row)];
}

}  // namespace quorvane::ui
