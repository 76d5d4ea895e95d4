#include "ui/message_boxes.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>

#include "recovery/message_box_host.h"

namespace quorvane::ui {
namespace {

MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
}

QMessageBox::Icon IconOf(uint32_t style) {
  switch (IconOfStyle(style)) {
    case MessageBoxIcon::kError: return QMessageBox::Critical;
    case MessageBoxIcon::kQuestion: return QMessageBox::Question;
    case MessageBoxIcon::kWarning: return QMessageBox::Warning;
    case MessageBoxIcon::kInformation: return QMessageBox::Information;
    case MessageBoxIcon::kNone: break;
  }
  return QMessageBox::NoIcon;
}

QString Latin1(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

}  // namespace

QString ApplicationTitle() {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QMessageBox* CreateMessageBox(QWidget* parent, const QString& text,
                              const std::optional<QString>& caption, uint32_t style,
                              Qt::WindowModality modality) {
  auto* box = new QMessageBox(IconOf(style), caption.value_or(ApplicationTitle()), text,
                              QMessageBox::NoButton, parent);
  if (HasYesNoButtons(style)) {
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(QMessageBox::Yes);
  } else {
    box->setStandardButtons(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
  }
  box->setTextFormat(Qt::PlainText);
  box->setWindowModality(modality);
  if (IsSystemModal(style)) box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
  return box;
}

int AnswerOf(const QMessageBox& box, uint32_t style) {
  const QAbstractButton* clicked = box.clickedButton();
  if (clicked == box.button(QMessageBox::Yes)) return kIdYes;
  if (clicked == box.button(QMessageBox::No)) return kIdNo;
  if (clicked == box.button(QMessageBox::Ok)) return kIdOk;
  return DefaultAnswer(style);
}

int DefaultAnswer(uint32_t style) { return HasYesNoButtons(style) ? kIdNo : kIdOk; }

int ShowModalMessageBox(QWidget* parent, const QString& text,
                        const std::optional<QString>& caption, uint32_t style) {
  // Modal over its owner's window only: a box a worker waits on, which has
  // no owner, stays within reach while this one is up.
  QPointer<QMessageBox> box = CreateMessageBox(parent, text, caption, style,
                                               parent ? Qt::WindowModal : Qt::ApplicationModal);
  NotifyMessageBoxShown(*box, style);
  box->exec();
  if (!box) return DefaultAnswer(style);
  const int answer = AnswerOf(*box, style);
  delete box;
  return answer;
}

int ShowModalMessageBox(QWidget* parent, const std::string& text,
                        const std::optional<std::string>& caption, uint32_t style) {
  std::optional<QString> qcaption;
  if (caption) qcaption = Latin1(*caption);
  return ShowModalMessageBox(parent, Latin1(text), qcaption, style);
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
  MessageBoxHook previous = std::move(Hook());
  Hook() = std::move(hook);
  return previous;
}

void NotifyMessageBoxShown(QMessageBox& box, uint32_t style) {
  if (Hook()) Hook()(box, style);
}

}  // namespace quorvane::ui
