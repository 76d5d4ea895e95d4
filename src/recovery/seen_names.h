#pragma once
// The names the entries of a directory being scanned have shown so far, as
// a walk compares them (upper-cased), directories and files apart. A walk
// along a path takes the first entry of a name: the search enters a
// directory only for the first of its name, and lists a later file twin
// (two deleted files whose names differed only in the letter the deleted
// mark took, or one name created and deleted twice) with the size and
// first cluster that lead a recovery to its own entry. The names held by
// every open set are counted against one bound; past it a name counts as
// seen (a directory is not entered, a file's row carries its first
// cluster), so that nothing is listed that a walk might not lead back to.
#include <cstddef>
#include <string>
#include <unordered_set>

namespace quorvane {

class SeenNames {
 public:
  // `held` counts the names every set holds; `limit` bounds it.
  SeenNames(size_t& held, size_t limit) : held_(held), limit_(limit) {}
  ~SeenNames() { held_ -= names_.size(); }
  SeenNames(const SeenNames&) = delete;
  SeenNames& operator=(const SeenNames&) = delete;

  // Whether no entry of this name (as compared: `key`) and kind came
  // before; remembers it.
  bool First(std::string key, bool directory) {
    key.push_back(directory ? 'D' : 'F');
    if (names_.contains(key)) return false;
    if (held_ >= limit_) return false;
    names_.insert(std::move(key));
    ++held_;
    return true;
  }

 private:
  size_t& held_;
  size_t limit_;
  std::unordered_set<std::string> names_;  // the name, then D or F
};

}  // namespace quorvane
