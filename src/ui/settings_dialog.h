#pragma once
// The communication settings dialog: edits the ten machine profiles and the application settings
// in place, in the store's one in-memory copy, so every change is used by the next transfer
// without saving. Only the mail address waits for "設定保存".

#include <QDialog>
#include <QList>
#include <QStringList>
#include <functional>
#include <memory>

#include "platform/serial/serial_port.h"
#include "settings/settings_store.h"
#include "ui/port_choice.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace korvane {

class FileDialogs;

// The number at the start of text as the wait-time box reads it: blanks anywhere are skipped, an
// optional sign, digits and one decimal point; anything else ends the number, no number gives 0.
double waitTimeFromText(const QString& text);

class Form3 : public QDialog {
  Q_OBJECT

 public:
  struct Hooks {
    // A fresh serial port for the availability check; may return null when the platform has none.
    std::function<std::unique_ptr<SerialPort>()> makePort;
    // Replaces entry slot (1..10) of the main window's machine box.
    std::function<void(int slot, const QString& name)> renameMachine;
    // Sets the main window's shutdown check box.
    std::function<void(bool checked)> setShutdownCheck;
  };

  // Builds the dialog hidden, fills the slot list "1".."10" and the port list from ports, and
  // loads the application settings into their boxes. What each port is and whether it opened at
  // start-up is its entry's tool tip, and the list's own while the entry is selected.
  Form3(SettingsStore& store, const QList<PortChoice>& ports, Hooks hooks, QWidget* parent = nullptr);
  ~Form3() override;

  // The "参照" buttons use these dialogs; by default the platform's. Not owned.
  void setFileDialogs(FileDialogs* dialogs) { fileDialogs_ = dialogs; }

  // Selects entry slot of comport and fills the profile controls from that slot. A slot outside
  // 1..10 clears the selection and leaves the edited profile as it was.
  void selectProfile(int slot);
  int editedProfile() const { return editedProfile_; }
  bool portCheckArmed() const { return portCheckArmed_; }

  QLabel* Label2 = nullptr;
  QComboBox* comport = nullptr;
  QLineEdit* portname = nullptr;
  QLabel* Label9 = nullptr;
  QComboBox* Combo1 = nullptr;
  QLabel* Label3 = nullptr;
  QComboBox* comspeed = nullptr;

  QGroupBox* frmdatale = nullptr;
  QGroupBox* frmstop = nullptr;
  QGroupBox* frmparichk = nullptr;
  QGroupBox* frmhand = nullptr;
  QGroupBox* frmcode = nullptr;
  QGroupBox* Frame1 = nullptr;
  QButtonGroup* datalen = nullptr;
  QButtonGroup* stoplen = nullptr;
  QButtonGroup* parity = nullptr;
  QButtonGroup* handshake = nullptr;
  QButtonGroup* pcode = nullptr;
  QButtonGroup* optEOB = nullptr;

  QGroupBox* Frame2 = nullptr;
  QCheckBox* chkfeed = nullptr;
  QLabel* Label1_0 = nullptr;
  QLabel* Label1_1 = nullptr;
  QLineEdit* txtfeedlen0 = nullptr;
  QLineEdit* txtfeedlen1 = nullptr;
  QLabel* Label8 = nullptr;
  QCheckBox* Chkdc2 = nullptr;
  QCheckBox* Chkdc3 = nullptr;
  QCheckBox* chkdc1 = nullptr;
  QCheckBox* chkwait = nullptr;
  QLineEdit* txtwaittime = nullptr;
  QLabel* Label4 = nullptr;
  QCheckBox* Check2 = nullptr;
  QCheckBox* CheckDCD_DSR = nullptr;
  QCheckBox* chker = nullptr;

  QGroupBox* Frame3 = nullptr;
  QLabel* Label7 = nullptr;
  QLineEdit* txteditprg = nullptr;
  QPushButton* cmdeditprg = nullptr;
  QLabel* Label5 = nullptr;
  QLineEdit* Txtviewprg = nullptr;
  QPushButton* cmdviewprg = nullptr;
  QLabel* Label6 = nullptr;
  QLineEdit* Text1 = nullptr;
  QCheckBox* Chkshut = nullptr;
  QCheckBox* Chkmail = nullptr;
  QLineEdit* txtmail = nullptr;

  // The shop-floor service's keys of the profile.
  QGroupBox* Frame4 = nullptr;
  QCheckBox* chkservice = nullptr;
  QCheckBox* chkrestarttool = nullptr;  // 途中再開工具交換: a restart writes T and M06
  QLabel* Label10 = nullptr;
  QLineEdit* txtprgfolder = nullptr;
  QLabel* Label11 = nullptr;
  QLineEdit* txtrcvfolder = nullptr;
  QPushButton* cmdprgfolder = nullptr;
  QPushButton* cmdrcvfolder = nullptr;

  // "加工時間の計算": what the time estimate needs to know of the machine.
  QGroupBox* Frame5 = nullptr;
  QLabel* Label12 = nullptr;  // 機械種類
  QButtonGroup* optmachine = nullptr;
  QLabel* Label13 = nullptr;  // 早送り速度
  QLineEdit* txtrapid = nullptr;
  QLabel* Label14 = nullptr;  // mm/min
  QLabel* Label15 = nullptr;  // 最高回転数
  QLineEdit* txtspindle = nullptr;
  QLabel* Label16 = nullptr;  // rpm
  QLabel* Label17 = nullptr;  // 工具交換時間
  QLineEdit* txttoolchange = nullptr;
  QLabel* Label18 = nullptr;  // 秒
  QLabel* Label19 = nullptr;  // 小数点入力
  QButtonGroup* optpoint = nullptr;

  QPushButton* cmdfsave = nullptr;
  QPushButton* cmdsetok = nullptr;

 public slots:
  void onSave();
  void onClose();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void reject() override;

 private:
  // A number box of the estimate's machine keys and the numbers it takes.
  struct MachineNumber {
    QLineEdit* box;
    double PortProfile::*field;
    double least;      // the smallest number taken, or the bound it must lie above
    bool leastTaken;   // whether least itself is taken
    double most;
    QString refusal;   // the message when the box is left holding something else
  };

  void buildControls();
  void placeControls();
  // Widths that follow the dialog's font: number boxes a few digits wide.
  void sizeNumberBoxes();
  void connectEvents();
  void connectMachineNumber(const MachineNumber& number);
  void load();
  void fill();
  PortProfile& edited();
  // True when the port of the edited profile can be opened now; otherwise the error is shown,
  // the controls are filled again from the stored profile and false is returned.
  bool portAvailable();
  void optionClicked(QButtonGroup* group, int index);
  void speedChosen(int index);
  void dcChanged();
  void showMailState();
  void choosePath(QLineEdit* box, const QString& caption);
  void chooseFolder(QLineEdit* box);

  SettingsStore& store_;
  Hooks hooks_;
  FileDialogs* fileDialogs_ = nullptr;
  std::unique_ptr<FileDialogs> ownDialogs_;
  int editedProfile_ = 1;
  bool portCheckArmed_ = false;
  QList<MachineNumber> machineNumbers_;
  // While the boxes are set from the stored values, their edit rules stay quiet, so a stored
  // value a box cannot show exactly is not overwritten by what the box shows.
  bool filling_ = false;
};

}  // namespace korvane
