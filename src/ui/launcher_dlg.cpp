#include "ui/launcher_dlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QPushButton>

#include "res/dialogs/launcher_dialog.h"
#include "res/program_texts.h"
#include "ui/about_dlg.h"
#include "ui/dialog_builder.h"
#include "ui/find_control.h"
#include "ui/home_page.h"
#include "ui/template_controls.h"
#include "ui/dialog_input_rules.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace quorvane::ui {
namespace {

namespace id = res::launcher_dialog;

constexpr int kIconSize = 32;  // the platform's standard icon size

}  // namespace

CLauncherDlg::CLauncherDlg(DriveTable& table, DriveSource& drives)
    : m_context{m_sheet, m_state, drives, table},
      m_page4(m_context),
      m_page3(m_context),
      m_page2(m_context),
      m_page1(m_context),
      m_hIcon(ResourcePicture("128")) {
  setWindowTitle(QString::fromLatin1(res::kLauncherDialog.caption));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  BuildDialog(this, res::kLauncherDialog);
  setWindowIcon(m_hIcon);
  // Run modally, the main window holds input for itself and blocks no other
  // window: a worker's message box has no owner and must stay within reach
  // while the wizard runs over this window.
  setWindowModality(Qt::WindowModal);
  // Alt with an unused letter types nothing; a closed window hands the
  // input on.
  qApp->installEventFilter(new DialogInputRules(this));

  connect(FindControl<QPushButton>(this, id::kStart), &QPushButton::clicked, this,
          &CLauncherDlg::OnStart);
  connect(FindControl<QPushButton>(this, id::kAbout), &QPushButton::clicked, this,
          &CLauncherDlg::OnAbout);
  connect(FindControl<QPushButton>(this, id::kExit), &QPushButton::clicked, this,
          &QDialog::accept);
  connect(FindControl<TemplateLabel>(this, id::kHomePageLink), &TemplateLabel::clicked, this,
          &OpenHomePage);

  // Where no system menu can be extended, its entries sit in the context
  // menu: the window commands, a separator, then the about box.
  m_systemMenu = new QMenu(this);
  m_systemMenu->addAction(tr("Mi&nimize"), this, &QWidget::showMinimized);
  m_systemMenu->addAction(tr("&Close"), this, &QWidget::close);
  m_systemMenu->addSeparator();
  QAction* about = m_systemMenu->addAction(QString::fromLatin1(res::kAboutMenuEntry));
  about->setData(res::kAboutCommand);
  connect(about, &QAction::triggered, this, [this] { OnSysCommand(res::kAboutCommand); });
}

CLauncherDlg::~CLauncherDlg() {
  // Workers end before any page goes, whatever way the window ends.
  m_sheet.StopPageWork();
}

void CLauncherDlg::PrepareWizard() {
  if (m_prepared) return;
  m_prepared = true;
  m_sheet.AddPage(&m_page1);
  m_sheet.AddPage(&m_page2);
  m_sheet.AddPage(&m_page3);
  m_sheet.AddPage(&m_page4);
  // The sheet is owned by the main window and modal over it; it stays a
  // window of its own.
  m_sheet.setParent(this, m_sheet.windowFlags());
}

void CLauncherDlg::OnStart() {
  showMinimized();
  PrepareWizard();
  m_sheet.DoModal();
  accept();
}

void CLauncherDlg::OnAbout() {
  // A dialog run without a parent is owned by the main window, which gets
  // the input back when it closes.
  CAboutDlg about(this);
  about.exec();
}

void CLauncherDlg::OnSysCommand(unsigned command) {
  if ((command & 0xFFF0) == unsigned(res::kAboutCommand)) OnAbout();
}

QPoint CLauncherDlg::MinimisedIconOrigin(QSize client, QSize icon) {
  return QPoint((client.width() - icon.width() + 1) / 2, (client.height() - icon.height() + 1) / 2);
}

void CLauncherDlg::contextMenuEvent(QContextMenuEvent* event) {
#ifdef Q_OS_WIN
  QDialog::contextMenuEvent(event);
#else
  m_systemMenu->popup(event->globalPos());
#endif
}

void CLauncherDlg::paintEvent(QPaintEvent* event) {
  if (!isMinimized()) {
    QDialog::paintEvent(event);
    return;
  }
  // Platforms that paint a minimised window get the icon, centred.
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  const QSize icon(kIconSize, kIconSize);
  painter.drawPixmap(QRect(MinimisedIconOrigin(size(), icon), icon), m_hIcon.pixmap(icon));
}

void CLauncherDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
#ifdef Q_OS_WIN
  if (m_systemMenuExtended) return;
  m_systemMenuExtended = true;
  HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE);
  const QString entry = QString::fromLatin1(res::kAboutMenuEntry);
  if (menu && !entry.isEmpty()) {
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, res::kAboutCommand,
                reinterpret_cast<const wchar_t*>(entry.utf16()));
  }
#endif
}

#ifdef Q_OS_WIN
bool CLauncherDlg::nativeEvent(const QByteArray& type, void* message, qintptr* result) {
  const MSG* msg = static_cast<const MSG*>(message);
  if (msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == unsigned(res::kAboutCommand)) {
    OnSysCommand(unsigned(msg->wParam));
    *result = 0;
    return true;
  }
  return QDialog::nativeEvent(type, message, result);
}
#endif

}  // namespace quorvane::ui
