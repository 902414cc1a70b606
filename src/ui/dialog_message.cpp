#include "ui/dialog_message.h"

#include <QMessageBox>
#include <utility>

#include "ui/main_window.h"
#include "ui/message_box.h"

namespace korvane {

namespace {

DialogMessageHook& installedHook() {
  static DialogMessageHook hook;
  return hook;
}

}  // namespace

DialogMessageHook setDialogMessageHook(DialogMessageHook hook) {
  return std::exchange(installedHook(), std::move(hook));
}

void showDialogMessage(QWidget* parent, const QString& text) {
  if (const DialogMessageHook& hook = installedHook()) {
    hook(parent, text);
    return;
  }
  QMessageBox box(QMessageBox::Warning, kAppTitle, text, QMessageBox::Ok, parent);
  fitCaption(box);
  box.exec();
}

}  // namespace korvane
