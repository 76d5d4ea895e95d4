#include "ui/wizard/wizard_state.h"

#include <QByteArray>

namespace quorvane::ui {
namespace {

std::string Latin1Bytes(const QString& text) {
  const QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), size_t(bytes.size()));
}

}  // namespace

SearchSettings ToSearchSettings(const WizardState& state) {
  SearchSettings search;
  search.strSearchDir = Latin1Bytes(state.m_strSearchDir);
  search.bSearchRecurse = state.m_bRecurse;
  search.bSearchDeletedDirs = state.m_bSearchDeletedDirs;
  search.bSearchSkipUnrecoverable = state.m_bSkipUnrecoverable;
  search.bSearchNameFilter = state.m_bNameFilter;
  SetFilterText(search.szSearchNameFilter, Latin1Bytes(state.m_strNameFilter));
  search.bSearchExtFilter = state.m_bExtFilter;
  SetFilterText(search.szSearchExtFilter, Latin1Bytes(state.m_strExtFilter));
  search.bSearchDeletedDirFilter = state.m_bDeletedDirFilter;
  SetFilterText(search.szSearchDeletedDirFilter, Latin1Bytes(state.m_strDeletedDirFilter));
  search.bSearchNtDeleted = state.m_bNtDeleted;
  search.bSearchDetails = state.m_bDetails;
  search.bSearchFragments = state.m_bFragments;
  return search;
}

}  // namespace quorvane::ui
