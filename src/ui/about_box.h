#pragma once
// The about box: the program's title and version, its own texts, the system information tool,
// and the maker's web page and mail address through the desktop's opener.

#include <QDialog>
#include <QStringList>
#include <functional>

class QLabel;
class QPushButton;

namespace korvane {

class ProcessLauncher;

class frmAbout final : public QDialog {
  Q_OBJECT

 public:
  using MessageShower = std::function<void(const QString& text)>;
  frmAbout(ProcessLauncher& launcher, MessageShower showMessage, QWidget* parent = nullptr);

  // Programs tried in order for "ｼｽﾃﾑ情報(&S)"; a name without a folder is searched in PATH.
  void setSystemInfoCandidates(QStringList candidates) { sysInfoCandidates_ = std::move(candidates); }
  static QStringList defaultSystemInfoCandidates();

  static QString webAddress();
  static QString mailAddress();

  QLabel* lblTitle = nullptr;
  QLabel* lblVersion = nullptr;
  QLabel* lblTrademarks = nullptr;
  QLabel* lblDisclaimer = nullptr;
  QLabel* lblcoment = nullptr;
  QLabel* lblcompany = nullptr;
  QLabel* picIcon = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdSysInfo = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;

 public slots:
  void StartSysInfo();

 private:
  ProcessLauncher& launcher_;
  MessageShower showMessage_;
  QStringList sysInfoCandidates_;
};

}  // namespace korvane
