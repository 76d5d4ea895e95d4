#pragma once
// The results list's rows: the search adds them at the top, so the file
// found last stands first. Rows are kept in the order they came, appended
// to a vector and shown in reverse, so that adding at the top and clearing
// cost the same for 100,000 rows as for 10. Each row keeps its path as the
// bytes the search gave (Latin-1 on screen), to be handed back unchanged.
#include <QAbstractTableModel>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "recovery/search_report.h"

namespace quorvane::ui {

struct ResultRow {
  ResultRow(std::string path_bytes, std::string size_digits,
            std::shared_ptr<const RowDetails> row_details = nullptr)
      : path(std::move(path_bytes)), size(std::move(size_digits)), details(std::move(row_details)) {}

  std::string path;  // column 0 ("File Name"): the path a recovery takes
  std::string size;  // column 1 ("Size"): decimal digits
  // What a search asked for details (or rebuilt clusters) knows of the file:
  // the long path and condition show in a detailed list, and Undelete takes
  // a rebuilt first cluster from here. Kept apart, so that the rows of a
  // classic search stay as small as they were.
  std::shared_ptr<const RowDetails> details;
  const RowDetails& Details() const {
    static const RowDetails kNone;
    return details ? *details : kNone;
  }
};

class ResultListModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // Adds `rows` as if each were inserted at row 0 in turn: the last of them
  // ends up at the top.
  void AddAtTop(std::vector<ResultRow> rows);
  // Removes every row.
  void Clear();
  // With details the list has two more columns after Size, "Long Name" and
  // "Condition"; without, its two. Switched while the list is empty.
  void SetDetailed(bool detailed);
  bool detailed() const { return detailed_; }

  // The row shown at `row` (0 = top). `row` must be in range.
  const ResultRow& Row(int row) const;

 private:
  std::vector<ResultRow> rows_;  // oldest first; row r shows rows_[size - 1 - r]
  bool detailed_ = false;
};

}  // namespace quorvane::ui
