// The controls of the communication settings dialog and where they sit, in twips.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "ui/settings_dialog.h"
#include "ui/twips.h"

namespace korvane {

namespace {

inline constexpr int kClientWidth = 7425;
inline constexpr int kClientHeight = 6495;

struct TwipRect {
  int left, top, width, height;
};

template <typename W>
W* named(W* widget, const char* name) {
  widget->setObjectName(QString::fromUtf8(name));
  return widget;
}

// One frame of option buttons; each button carries its index as property "index".
QButtonGroup* optionFrame(QWidget* owner, QGroupBox* frame, const char* groupName, const QStringList& captions) {
  auto* group = new QButtonGroup(owner);
  group->setObjectName(QString::fromUtf8(groupName));
  for (int i = 0; i < captions.size(); ++i) {
    auto* option = named(new QRadioButton(captions[i], frame), groupName);
    option->setProperty("index", i);
    group->addButton(option, i);
  }
  return group;
}

}  // namespace

void Form3::buildControls() {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(QStringLiteral("通信設定"));

  Label2 = named(new QLabel(QStringLiteral("設　定"), this), "Label2");
  comport = named(new QComboBox(this), "comport");
  portname = named(new QLineEdit(this), "portname");
  Label9 = named(new QLabel(QStringLiteral("ポート"), this), "Label9");
  Combo1 = named(new QComboBox(this), "Combo1");
  Label3 = named(new QLabel(QStringLiteral("ｽﾋﾟｰﾄﾞ"), this), "Label3");
  comspeed = named(new QComboBox(this), "comspeed");
  comspeed->setEditable(true);
  comspeed->setInsertPolicy(QComboBox::NoInsert);
  comspeed->addItems({"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "28800", "38400",
                      "56000", "128000", "256000"});
  comspeed->setEditText(QStringLiteral("9600"));

  frmdatale = named(new QGroupBox(QStringLiteral("ﾃﾞｰﾀ長"), this), "frmdatale");
  frmstop = named(new QGroupBox(QStringLiteral("ｽﾄｯﾌﾟﾋﾞｯﾄ"), this), "frmstop");
  frmparichk = named(new QGroupBox(QStringLiteral("ﾊﾟﾘﾃｨﾁｪｯｸ"), this), "frmparichk");
  frmhand = named(new QGroupBox(QStringLiteral("ﾊﾝﾄﾞｼｪｲｸ"), this), "frmhand");
  frmcode = named(new QGroupBox(QStringLiteral(" ｺｰﾄﾞ"), this), "frmcode");
  Frame1 = named(new QGroupBox(QStringLiteral("EOB"), this), "Frame1");
  datalen = optionFrame(this, frmdatale, "datalen", {"7 Bit", "8 Bit"});
  stoplen = optionFrame(this, frmstop, "stoplen", {"1 Bit", "2 Bit"});
  parity = optionFrame(this, frmparichk, "parity", {QStringLiteral("偶数"), QStringLiteral("奇数"), QStringLiteral("なし")});
  handshake = optionFrame(this, frmhand, "handshake", {QStringLiteral("なし"), "Xon/Xoff", "RTS/CTS", "Xon RTS"});
  pcode = optionFrame(this, frmcode, "pcode", {"ISO", "EIA"});
  optEOB = optionFrame(this, Frame1, "optEOB", {"LF", "LFCr", "LFCrCr"});

  Frame2 = named(new QGroupBox(this), "Frame2");
  chkfeed = named(new QCheckBox(QStringLiteral("ﾃｰﾌﾟﾌｨｰﾄﾞ付加"), Frame2), "chkfeed");
  Label1_0 = named(new QLabel(QStringLiteral("前"), Frame2), "Label1");
  Label1_0->setProperty("index", 0);
  txtfeedlen0 = named(new QLineEdit(Frame2), "txtfeedlen");
  txtfeedlen0->setProperty("index", 0);
  Label1_1 = named(new QLabel(QStringLiteral("中、後"), Frame2), "Label1");
  Label1_1->setProperty("index", 1);
  txtfeedlen1 = named(new QLineEdit(Frame2), "txtfeedlen");
  txtfeedlen1->setProperty("index", 1);
  Label8 = named(new QLabel(QStringLiteral("Cm"), Frame2), "Label8");
  Chkdc2 = named(new QCheckBox(QStringLiteral("送受信にＤＣコードを送信する"), Frame2), "Chkdc2");
  Chkdc3 = named(new QCheckBox(QStringLiteral("DC3に 0x93を使う"), Frame2), "Chkdc3");
  chkdc1 = named(new QCheckBox(QStringLiteral("DC1受信後に送信する"), Frame2), "chkdc1");
  chkwait = named(new QCheckBox(QStringLiteral("送信時遅延をかける"), Frame2), "chkwait");
  txtwaittime = named(new QLineEdit(Frame2), "txtwaittime");
  Label4 = named(new QLabel(QStringLiteral("ms"), Frame2), "Label4");
  Check2 = named(new QCheckBox(QStringLiteral("最初にＣＲ出力"), Frame2), "Check2");
  CheckDCD_DSR = named(new QCheckBox(QStringLiteral("DCD,DSR ラインをチェックする"), Frame2), "CheckDCD_DSR");
  chker = named(new QCheckBox(QStringLiteral("ファイル中の \"%\" を無視する"), Frame2), "chker");

  Frame3 = named(new QGroupBox(this), "Frame3");
  Label7 = named(new QLabel(QStringLiteral("ｴﾃﾞｨﾀ"), Frame3), "Label7");
  txteditprg = named(new QLineEdit(Frame3), "txteditprg");
  cmdeditprg = named(new QPushButton(QStringLiteral("参照"), Frame3), "cmdeditprg");
  Label5 = named(new QLabel(QStringLiteral("ﾋﾞｭｰﾜ"), Frame3), "Label5");
  Txtviewprg = named(new QLineEdit(Frame3), "Txtviewprg");
  cmdviewprg = named(new QPushButton(QStringLiteral("参照"), Frame3), "cmdviewprg");
  Label6 = named(new QLabel(QStringLiteral("ﾌｧｲﾙの種類"), Frame3), "Label6");
  Text1 = named(new QLineEdit(Frame3), "Text1");
  Chkshut = named(new QCheckBox(QStringLiteral("送信終了後シャットダウンする"), Frame3), "Chkshut");
  Chkmail = named(new QCheckBox(QStringLiteral("送信終了後メールを送る"), Frame3), "Chkmail");
  txtmail = named(new QLineEdit(Frame3), "txtmail");

  Frame4 = named(new QGroupBox(QStringLiteral("ｻｰﾋﾞｽ"), this), "Frame4");
  chkservice = named(new QCheckBox(QStringLiteral("この機械をｻｰﾋﾞｽ (korvane-cli serve) で自動受信・要求送信する"), Frame4),
                     "chkservice");
  Label10 = named(new QLabel(QStringLiteral("ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ"), Frame4), "Label10");
  txtprgfolder = named(new QLineEdit(Frame4), "txtprgfolder");
  Label11 = named(new QLabel(QStringLiteral("受信ﾌｫﾙﾀﾞ"), Frame4), "Label11");
  txtrcvfolder = named(new QLineEdit(Frame4), "txtrcvfolder");

  cmdfsave = named(new QPushButton(QStringLiteral("設定保存"), this), "cmdfsave");
  cmdsetok = named(new QPushButton(QStringLiteral("閉じる"), this), "cmdsetok");
  cmdfsave->setAutoDefault(false);
  cmdsetok->setAutoDefault(false);
}

void Form3::placeControls() {
  const qreal dpi = screen() ? screen()->logicalDotsPerInch() : 96.0;
  auto place = [dpi](QWidget* w, TwipRect r) {
    w->setGeometry(twipsToPx(r.left, dpi), twipsToPx(r.top, dpi), twipsToPx(r.width, dpi), twipsToPx(r.height, dpi));
  };
  // Top row: slot, name, port, speed.
  place(Label2, {120, 150, 600, 255});
  place(comport, {720, 90, 735, 330});
  place(portname, {1560, 90, 2055, 330});
  place(Label9, {3720, 150, 600, 255});
  place(Combo1, {4320, 90, 1095, 330});
  place(Label3, {5520, 150, 600, 255});
  place(comspeed, {6120, 90, 1185, 330});

  // The six option frames side by side.
  struct FrameSpec {
    QGroupBox* frame;
    QButtonGroup* group;
    int width;
  };
  const FrameSpec frames[] = {{frmdatale, datalen, 1035}, {frmstop, stoplen, 1035}, {frmparichk, parity, 1155},
                              {frmhand, handshake, 1395}, {frmcode, pcode, 1035}, {Frame1, optEOB, 1275}};
  int left = 60;
  for (const FrameSpec& spec : frames) {
    place(spec.frame, {left, 540, spec.width, 1335});
    const QList<QAbstractButton*> buttons = spec.group->buttons();
    for (int i = 0; i < buttons.size(); ++i) place(buttons[i], {90, 240 + i * 255, spec.width - 150, 255});
    left += spec.width + 15;
  }

  // Profile check boxes, feed and wait.
  place(Frame2, {60, 1920, 3735, 3315});
  place(chkfeed, {120, 150, 2055, 255});
  place(Label1_0, {240, 450, 300, 255});
  place(txtfeedlen0, {540, 420, 735, 300});
  place(Label1_1, {1380, 450, 600, 255});
  place(txtfeedlen1, {1980, 420, 735, 300});
  place(Label8, {2760, 450, 375, 255});
  place(Chkdc2, {120, 810, 3495, 255});
  place(Chkdc3, {360, 1095, 3255, 255});
  place(chkdc1, {120, 1380, 3495, 255});
  place(chkwait, {120, 1665, 2055, 255});
  place(txtwaittime, {2220, 1635, 735, 300});
  place(Label4, {3000, 1665, 375, 255});
  place(Check2, {120, 1980, 3495, 255});
  place(CheckDCD_DSR, {120, 2265, 3495, 255});
  place(chker, {120, 2550, 3495, 255});

  // Application settings.
  place(Frame3, {3840, 1920, 3525, 2625});
  place(Label7, {120, 210, 855, 255});
  place(txteditprg, {120, 450, 2535, 300});
  place(cmdeditprg, {2700, 435, 735, 330});
  place(Label5, {120, 810, 855, 255});
  place(Txtviewprg, {120, 1050, 2535, 300});
  place(cmdviewprg, {2700, 1035, 735, 330});
  place(Label6, {120, 1425, 1095, 255});
  place(Text1, {1260, 1395, 2175, 300});
  place(Chkshut, {120, 1770, 3315, 255});
  place(Chkmail, {120, 2040, 3315, 255});
  place(txtmail, {360, 2295, 3075, 300});

  // The service, across the foot of the dialog.
  place(Frame4, {60, 5310, 7305, 1125});
  place(chkservice, {120, 270, 6900, 255});
  place(Label10, {120, 570, 1335, 255});
  place(txtprgfolder, {1500, 540, 5655, 300});
  place(Label11, {120, 870, 1335, 255});
  place(txtrcvfolder, {1500, 840, 5655, 300});

  place(cmdfsave, {4455, 4680, 1335, 495});
  place(cmdsetok, {5880, 4680, 1335, 495});
  setFixedSize(twipsToPx(kClientWidth, dpi), twipsToPx(kClientHeight, dpi));
}

}  // namespace korvane
