#pragma once
// A transfer view that records what a window would show, for assertions on the operator's view.

#include <QList>
#include <QStringList>
#include <functional>

#include "transfer/transfer_view.h"

namespace korvane::test {

class RecordingView final : public TransferView {
 public:
  QStringList events;    // enter/leave and caption changes, in order
  QStringList messages;  // every message box text
  QList<MessageIcon> icons;  // the icon of each entry of messages
  QStringList statusTexts;
  QString caption;
  QString elapsed;
  qint64 progressMax = 0;
  qint64 progress = 0;
  QList<int> selectedRows;
  bool listSending = false;
  bool busy = false;
  bool answerYes = true;
  int questions = 0;
  std::function<void(const QString&)> onMessage;

  void enterTransfer(TransferKind kind) override {
    busy = true;
    events << (kind == TransferKind::Send ? QStringLiteral("enter send") : QStringLiteral("enter receive"));
  }
  void leaveTransfer(TransferKind kind) override {
    busy = false;
    events << (kind == TransferKind::Send ? QStringLiteral("leave send") : QStringLiteral("leave receive"));
  }
  void setWindowCaption(const QString& text) override {
    caption = text;
    events << QStringLiteral("caption ") + text;
  }
  void setStatusText(const QString& text) override { statusTexts << text; }
  void setElapsedText(const QString& text) override { elapsed = text; }
  void setProgressRange(qint64 maximum) override { progressMax = maximum; }
  void setProgressValue(qint64 value) override { progress = value; }
  void setRowSelected(int row, bool selected) override {
    selectedRows.removeAll(row);
    if (selected) selectedRows.append(row);
  }
  void clearRowSelection() override { selectedRows.clear(); }
  void setListSending(bool sending) override { listSending = sending; }
  void showMessage(const QString& text, MessageIcon icon) override {
    messages << text;
    icons << icon;
    if (onMessage) onMessage(text);
  }
  bool askYesNo(const QString& text, MessageIcon icon) override {
    ++questions;
    messages << text;
    icons << icon;
    return answerYes;
  }
};

}  // namespace korvane::test
