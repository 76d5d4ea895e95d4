#pragma once
// The search settings that pass from the search-setup page and the search
// options dialog to the results page. The search-setup page exchanges its
// controls with the directory and option flags here; the options dialog
// edits a copy and stores it on OK. Flags hold 0 or 1, as a check box gives
// them. Read and written on the user-interface thread only.
#include <QString>
#include <cstdint>

#include "recovery/search_settings.h"

namespace quorvane::ui {

struct WizardState {
  QString m_strDeletedDirFilter;
  int32_t m_bDeletedDirFilter = 0;
  QString m_strNameFilter;
  QString m_strExtFilter;
  int32_t m_bExtFilter = 0;
  int32_t m_bNameFilter = 0;
  int32_t m_bSkipUnrecoverable = 0;
  int32_t m_bSearchDeletedDirs = 0;
  int32_t m_bRecurse = 0;
  QString m_strSearchDir;  // short (8.3) form, no trailing backslash
  // Beyond the classic rules, set by the options dialog and off again at
  // each of its openings: rebuild first clusters whose high word a delete
  // of the NT family cleared; list each file's long path and condition.
  int32_t m_bNtDeleted = 0;
  int32_t m_bDetails = 0;
  // Also set there and off at each opening: Undelete of a single row writes
  // sectors it cannot read as zeros and goes on (several rows always do).
  int32_t m_bKeepGoing = 0;
  // Also off again at each opening: fragmented files and lost folders are
  // followed (--fragments): copies step over the clusters other deleted
  // entries claim, conditions weigh those claims.
  int32_t m_bFragments = 0;
};

// The settings a search reads, texts as their Latin-1 bytes. The filter
// texts go over whether their filters are on or off.
SearchSettings ToSearchSettings(const WizardState& state);

}  // namespace quorvane::ui
