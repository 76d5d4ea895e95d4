#include "ui/wizard/result_list_model.h"

#include "ui/volume_text.h"

#include <cassert>
#include <iterator>
#include <string_view>

namespace quorvane::ui {
namespace {

constexpr int kPlainColumns = 2;
constexpr int kDetailedColumns = 4;

QString Latin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

int ResultListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ResultListModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return detailed_ ? kDetailedColumns : kPlainColumns;
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  const ResultRow& row = Row(index.row());
  switch (index.column()) {
    case 0: return VolumeText(row.path);
    case 1: return Latin1(row.size);
    case 2: {
      const std::u16string& long_path = row.Details().longPath;
      return QString::fromUtf16(long_path.data(), static_cast<qsizetype>(long_path.size()));
    }
    case 3: return Latin1(ConditionWord(row.Details().condition));
    default: return {};
  }
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  if (role != Qt::DisplayRole) return {};
  switch (section) {
    case 0: return QStringLiteral("File Name");
    case 1: return QStringLiteral("Size");
    case 2: return QStringLiteral("Long Name");
    case 3: return QStringLiteral("Condition");
    default: return {};
  }
}

void ResultListModel::SetDetailed(bool detailed) {
  if (detailed == detailed_) return;
  assert(rows_.empty());
  // Columns added or removed rather than a reset, which would put the
  // widths of the first two back to their defaults.
  if (detailed) {
    beginInsertColumns({}, kPlainColumns, kDetailedColumns - 1);
    detailed_ = true;
    endInsertColumns();
  } else {
    beginRemoveColumns({}, kPlainColumns, kDetailedColumns - 1);
    detailed_ = false;
    endRemoveColumns();
  }
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
