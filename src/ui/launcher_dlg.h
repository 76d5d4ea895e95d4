#pragma once
// The main window: dialog 102 with Start, About and Exit. It owns the wizard
// sheet, its four pages and the settings they share, for the program's life.
#include <QDialog>
#include <QIcon>

#include "ui/wizard/undelete_page1.h"
#include "ui/wizard/undelete_page2.h"
#include "ui/wizard/undelete_page3.h"
#include "ui/wizard/undelete_page4.h"
#include "ui/wizard/wizard_context.h"
#include "ui/wizard/wizard_sheet.h"
#include "ui/wizard/wizard_state.h"
#include "volume/host/drive_table.h"

class QMenu;

namespace quorvane::ui {

class CLauncherDlg : public QDialog {
  Q_OBJECT

 public:
  // `drives`: the volumes the wizard's pages read; `table`: the drive table
  // they come from (the same object, but for tests that read through a
  // stand-in). Both outlive the window.
  CLauncherDlg(DriveTable& table, DriveSource& drives);
  explicit CLauncherDlg(DriveTable& drives) : CLauncherDlg(drives, drives) {}
  ~CLauncherDlg() override;

  CWizardSheet& sheet() { return m_sheet; }
  WizardState& state() { return m_state; }
  CUndeletePage1& page1() { return m_page1; }
  CUndeletePage2& page2() { return m_page2; }
  CUndeletePage3& page3() { return m_page3; }
  CUndeletePage4& page4() { return m_page4; }
  // The menu that stands for the window's system menu where the platform
  // has none a program can extend (opened as the context menu).
  QMenu* SystemMenu() const { return m_systemMenu; }

  // Adds the pages to the sheet and puts it in wizard mode (once).
  void PrepareWizard();
  // Start: minimises the window, runs the wizard, then ends with OK.
  void OnStart();
  void OnAbout();
  // A system command: the about box for 16 (any of 16 to 31).
  void OnSysCommand(unsigned command);

  // Where the icon goes in a client area of `client` while minimised.
  static QPoint MinimisedIconOrigin(QSize client, QSize icon);

 public slots:
  // Escape, the close box and Close leave the main window open.
  void reject() override {}

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
#ifdef Q_OS_WIN
  bool nativeEvent(const QByteArray& type, void* message, qintptr* result) override;
#endif

 private:
  WizardState m_state;
  CWizardSheet m_sheet;
  WizardContext m_context;
  CUndeletePage4 m_page4;
  CUndeletePage3 m_page3;
  CUndeletePage2 m_page2;
  CUndeletePage1 m_page1;
  QIcon m_hIcon;
  QMenu* m_systemMenu = nullptr;
  bool m_prepared = false;
  bool m_systemMenuExtended = false;
};

}  // namespace quorvane::ui
