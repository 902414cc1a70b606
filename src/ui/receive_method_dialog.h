#pragma once
// "取り込み方法": asks before each reception whether everything goes into one file or into a
// folder, one file per program number.

#include <QDialog>
#include <array>
#include <optional>

#include "transfer/receive_engine.h"

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace korvane {

class Form7 : public QDialog {
  Q_OBJECT

 public:
  explicit Form7(QWidget* parent = nullptr);

  // True once closed with "O　K"; the close box, Escape and "Cancel" leave it false.
  bool receiveConfirmed() const { return receiveConfirmed_; }
  // The method of the selected option button.
  ReceiveMethod receiveMethod() const;

  // The option buttons Option1(0) and Option1(1).
  QRadioButton* option(int index) const { return Option1.at(static_cast<size_t>(index)); }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Command1_Click();
  void Command2_Click();

  QGroupBox* Frame1 = nullptr;
  std::array<QRadioButton*, 2> Option1{};
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
  bool receiveConfirmed_ = false;
};

// Shows a new Form7 modally over parent; the chosen method, or nothing on Cancel.
std::optional<ReceiveMethod> askReceiveMethod(QWidget* parent);

}  // namespace korvane
