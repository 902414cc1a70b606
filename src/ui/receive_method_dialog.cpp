#include "ui/receive_method_dialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "ui/japanese_fonts.h"

namespace korvane {

Form7::Form7(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Form7"));
  setWindowTitle(QStringLiteral("取り込み方法"));
  setFont(QFont(kGothicFamily, 9));

  Frame1 = new QGroupBox(this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  auto* options = new QVBoxLayout(Frame1);
  const QString captions[] = {QStringLiteral("１つのファイルに取り込む"),
                              QStringLiteral("フォルダにプログラムNo毎に取り込む")};
  for (int index = 0; index < 2; ++index) {
    auto* button = new QRadioButton(captions[index], Frame1);
    // One name for the array, told apart by its index as the operator's forms do.
    button->setObjectName(QStringLiteral("Option1"));
    button->setProperty("index", index);
    options->addWidget(button);
    Option1.at(static_cast<size_t>(index)) = button;
  }
  Option1[0]->setChecked(true);

  Command1 = new QPushButton(QStringLiteral("O　K"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setDefault(true);
  Command2 = new QPushButton(QStringLiteral("Cancel"), this);
  Command2->setObjectName(QStringLiteral("Command2"));

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Command1);
  buttons->addWidget(Command2);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Frame1);
  layout->addLayout(buttons);

  connect(Command1, &QPushButton::clicked, this, &Form7::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &Form7::Command2_Click);
}

ReceiveMethod Form7::receiveMethod() const {
  return Option1[0]->isChecked() ? ReceiveMethod::OneFile : ReceiveMethod::FolderPerProgram;
}

void Form7::showEvent(QShowEvent* event) {
  // Every showing starts from one file; a window restored by the desktop keeps its choice.
  if (!event->spontaneous()) {
    Option1[0]->setChecked(true);
    receiveConfirmed_ = false;
  }
  QDialog::showEvent(event);
}

void Form7::Command1_Click() {
  receiveConfirmed_ = true;
  accept();
}

void Form7::Command2_Click() {
  receiveConfirmed_ = false;
  reject();
}

std::optional<ReceiveMethod> askReceiveMethod(QWidget* parent) {
  Form7 dialog(parent);
  dialog.exec();
  if (!dialog.receiveConfirmed()) return std::nullopt;
  return dialog.receiveMethod();
}

}  // namespace korvane
