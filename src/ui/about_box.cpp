#include "ui/about_box.h"

#include <QApplication>
#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "korvane/version.h"
#include "platform/desktop/process_launcher.h"
#include "ui/app_icon.h"
#include "ui/main_window.h"

namespace korvane {

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setFont(QFont(QStringLiteral("ＭＳ ゴシック"), 9));
  label->setWordWrap(true);
  return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

QFrame* makeLine(QWidget* parent, const char* name) {
  auto* line = new QFrame(parent);
  line->setObjectName(QString::fromLatin1(name));
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

}  // namespace

QString frmAbout::webAddress() { return QStringLiteral("https://korvane.example.org/"); }
QString frmAbout::mailAddress() { return QStringLiteral("mailto:support@korvane.example.org"); }

QStringList frmAbout::defaultSystemInfoCandidates() {
  // Windows' own tool first (in System32, on the search path there); elsewhere it is not found.
  return {QStringLiteral("msinfo32"), QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"),
          QStringLiteral("kinfocenter")};
}

frmAbout::frmAbout(ProcessLauncher& launcher, MessageShower showMessage, QWidget* parent)
    : QDialog(parent),
      launcher_(launcher),
      showMessage_(std::move(showMessage)),
      sysInfoCandidates_(defaultSystemInfoCandidates()) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(kAppTitle + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"));
  setModal(false);

  picIcon = new QLabel(this);
  picIcon->setObjectName(QStringLiteral("picIcon"));
  picIcon->setPixmap(applicationIcon().pixmap(32, 32));
  lblTitle = makeLabel(this, "lblTitle",
                       kAppTitle + QStringLiteral("  %1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionPatch));
  lblVersion = makeLabel(this, "lblVersion", QStringLiteral("NCデータ RS-232 転送 (ISO/EIA テープコード)"));
  lblTrademarks = makeLabel(this, "lblTrademarks", QStringLiteral("korvane"));
  lblDisclaimer = makeLabel(this, "lblDisclaimer",
                            QStringLiteral("このプログラムは無保証です。機械へ送る前に、加工プログラムを必ず確認してください。"));
  lblcoment = makeLabel(this, "lblcoment", QStringLiteral("工作機械とパソコンの間でNCプログラムを送受信します。"));
  lblcompany = makeLabel(this, "lblcompany", QStringLiteral("korvane の開発者"));
  cmdOK = makeButton(this, "cmdOK", QStringLiteral("OK"));
  cmdSysInfo = makeButton(this, "cmdSysInfo", QStringLiteral("ｼｽﾃﾑ情報(&S)"));
  Command1 = makeButton(this, "Command1", QStringLiteral("WWW"));
  Command2 = makeButton(this, "Command2", QStringLiteral("Mail"));

  auto* head = new QHBoxLayout;
  head->addWidget(picIcon, 0, Qt::AlignTop);
  auto* texts = new QVBoxLayout;
  for (QLabel* label : {lblTitle, lblVersion, lblcoment, lblcompany}) texts->addWidget(label);
  head->addLayout(texts, 1);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {Command1, Command2}) buttons->addWidget(b);
  buttons->addStretch(1);
  for (QPushButton* b : {cmdOK, cmdSysInfo}) buttons->addWidget(b);
  auto* top = new QVBoxLayout(this);
  top->addLayout(head);
  top->addWidget(makeLine(this, "Line1"));
  top->addWidget(lblTrademarks);
  top->addWidget(lblDisclaimer);
  top->addWidget(makeLine(this, "Line2"));
  top->addLayout(buttons);

  cmdOK->setDefault(true);
  connect(cmdOK, &QPushButton::clicked, this, &QDialog::close);
  connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);
  connect(Command1, &QPushButton::clicked, this, [this] {
    if (const auto error = launcher_.openUrl(webAddress())) showMessage_(*error);
  });
  connect(Command2, &QPushButton::clicked, this, [this] {
    if (const auto error = launcher_.openUrl(mailAddress())) showMessage_(*error);
  });
}

void frmAbout::StartSysInfo() {
  for (const QString& candidate : sysInfoCandidates_) {
    const QString program = QStandardPaths::findExecutable(candidate);
    if (program.isEmpty()) continue;
    if (!launcher_.startDetached(program, {})) return;
    break;
  }
  showMessage_(QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"));
}

}  // namespace korvane
