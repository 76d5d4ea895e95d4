#include "support/search_rows.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quorvane::testing {

std::vector<SearchRow> SearchRows(const std::string& output) {
  std::vector<SearchRow> rows;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> columns;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) columns.push_back(field);
    if (columns.size() != 2 && columns.size() != 8) {
      ADD_FAILURE() << "not a search row: " << line;
      continue;
    }
    SearchRow row;
    row.path = columns[0];
    row.size = std::stoull(columns[1]);
    if (columns.size() == 8) {
      row.longPath = columns[2];
      row.condition = columns[3];
      row.firstCluster = static_cast<uint32_t>(std::stoul(columns[4]));
      row.modified = columns[5];
      row.accessed = columns[6];
      row.created = columns[7];
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace quorvane::testing
