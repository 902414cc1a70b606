// The controls of the communication settings dialog and how they are arranged: the slot, name,
// port and speed across the top, the six option frames below them, the profile's check boxes on
// the left, the application settings and the time estimate's machine keys on the right, the
// service across the foot and the two buttons at the bottom right. The arrangement is made of
// layouts, so every frame takes the room its captions need at whatever font the desktop gives.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/settings_dialog.h"

namespace korvane {

namespace {

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

// A row of widgets, left-aligned.
QHBoxLayout* row(std::initializer_list<QWidget*> widgets, int indent = 0) {
  auto* layout = new QHBoxLayout;
  if (indent > 0) layout->addSpacing(indent);
  for (QWidget* w : widgets) layout->addWidget(w);
  layout->addStretch(1);
  return layout;
}

// Room for a check box's text beside another one's: the indent of a dependent option.
constexpr int kIndentPx = 20;

// The frames sit close, as the classic dialog's do: the tall spacing of a modern style would make
// the dialog higher than a shop-floor PC's screen.
template <typename Layout>
Layout* compact(Layout* layout) {
  layout->setContentsMargins(8, 4, 8, 6);
  layout->setSpacing(2);
  return layout;
}

}  // namespace

void Form3::buildControls() {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(QStringLiteral("通信設定"));

  Label2 = named(new QLabel(QStringLiteral("設　定"), this), "Label2");
  comport = named(new QComboBox(this), "comport");
  comport->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  portname = named(new QLineEdit(this), "portname");
  Label9 = named(new QLabel(QStringLiteral("ポート"), this), "Label9");
  Combo1 = named(new QComboBox(this), "Combo1");
  Combo1->setSizeAdjustPolicy(QComboBox::AdjustToContents);
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

  Frame5 = named(new QGroupBox(QStringLiteral("加工時間の計算"), this), "Frame5");
  Label12 = named(new QLabel(QStringLiteral("機械種類"), Frame5), "Label12");
  optmachine = optionFrame(this, Frame5, "optmachine", {QStringLiteral("マシニングセンタ"), QStringLiteral("旋盤")});
  Label13 = named(new QLabel(QStringLiteral("早送り速度"), Frame5), "Label13");
  txtrapid = named(new QLineEdit(Frame5), "txtrapid");
  Label14 = named(new QLabel(QStringLiteral("mm/min"), Frame5), "Label14");
  Label15 = named(new QLabel(QStringLiteral("最高回転数"), Frame5), "Label15");
  txtspindle = named(new QLineEdit(Frame5), "txtspindle");
  Label16 = named(new QLabel(QStringLiteral("rpm"), Frame5), "Label16");
  Label17 = named(new QLabel(QStringLiteral("工具交換時間"), Frame5), "Label17");
  txttoolchange = named(new QLineEdit(Frame5), "txttoolchange");
  Label18 = named(new QLabel(QStringLiteral("秒"), Frame5), "Label18");
  Label19 = named(new QLabel(QStringLiteral("小数点入力"), Frame5), "Label19");
  optpoint = optionFrame(this, Frame5, "optpoint", {QStringLiteral("最小設定単位"), QStringLiteral("電卓型")});
  chkrestarttool = named(new QCheckBox(QStringLiteral("途中から送信で工具交換 (T, M06) を書く"), Frame5), "chkrestarttool");
  chkrestarttool->setToolTip(QStringLiteral("外すと、途中から送信のプログラムは工具を主軸にある工具のまま始めます"));
  // What the two readings of a number without a point mean, where the operator chooses.
  optpoint->button(0)->setToolTip(QStringLiteral("小数点の無い数は最小設定単位（X1000 = 1 mm）"));
  optpoint->button(1)->setToolTip(QStringLiteral("小数点の無い数も mm（X10 = 10 mm）"));
  txttoolchange->setToolTip(QStringLiteral("工具交換 1 回（M06）にかかる秒数"));

  Frame4 = named(new QGroupBox(QStringLiteral("ｻｰﾋﾞｽ"), this), "Frame4");
  chkservice = named(new QCheckBox(QStringLiteral("この機械をｻｰﾋﾞｽ (korvane-cli serve) で自動受信・要求送信する"), Frame4),
                     "chkservice");
  Label10 = named(new QLabel(QStringLiteral("ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ"), Frame4), "Label10");
  txtprgfolder = named(new QLineEdit(Frame4), "txtprgfolder");
  cmdprgfolder = named(new QPushButton(QStringLiteral("参照"), Frame4), "cmdprgfolder");
  Label11 = named(new QLabel(QStringLiteral("受信ﾌｫﾙﾀﾞ"), Frame4), "Label11");
  txtrcvfolder = named(new QLineEdit(Frame4), "txtrcvfolder");
  cmdrcvfolder = named(new QPushButton(QStringLiteral("参照"), Frame4), "cmdrcvfolder");

  cmdfsave = named(new QPushButton(QStringLiteral("設定保存"), this), "cmdfsave");
  cmdsetok = named(new QPushButton(QStringLiteral("閉じる"), this), "cmdsetok");
  for (QPushButton* button : {cmdfsave, cmdsetok, cmdeditprg, cmdviewprg, cmdprgfolder, cmdrcvfolder})
    button->setAutoDefault(false);
}

void Form3::placeControls() {
  auto* top = new QHBoxLayout;
  top->addWidget(Label2);
  top->addWidget(comport);
  top->addWidget(portname, 1);
  top->addSpacing(8);
  top->addWidget(Label9);
  top->addWidget(Combo1);
  top->addSpacing(8);
  top->addWidget(Label3);
  top->addWidget(comspeed);

  auto* options = new QHBoxLayout;
  options->setSpacing(4);
  const std::pair<QGroupBox*, QButtonGroup*> frames[] = {{frmdatale, datalen}, {frmstop, stoplen},
                                                         {frmparichk, parity}, {frmhand, handshake},
                                                         {frmcode, pcode},     {Frame1, optEOB}};
  for (const auto& [frame, group] : frames) {
    auto* column = compact(new QVBoxLayout(frame));
    for (QAbstractButton* option : group->buttons()) column->addWidget(option);
    column->addStretch(1);
    options->addWidget(frame, 1);
  }

  auto* profile = compact(new QVBoxLayout(Frame2));
  profile->addWidget(chkfeed);
  profile->addLayout(row({Label1_0, txtfeedlen0, Label1_1, txtfeedlen1, Label8}, kIndentPx));
  profile->addWidget(Chkdc2);
  profile->addLayout(row({Chkdc3}, kIndentPx));
  profile->addWidget(chkdc1);
  profile->addLayout(row({chkwait, txtwaittime, Label4}));
  profile->addWidget(Check2);
  profile->addWidget(CheckDCD_DSR);
  profile->addWidget(chker);
  profile->addStretch(1);

  auto* application = compact(new QGridLayout(Frame3));
  application->setHorizontalSpacing(6);
  application->addWidget(Label7, 0, 0, 1, 2);
  application->addWidget(txteditprg, 1, 0);
  application->addWidget(cmdeditprg, 1, 1);
  application->addWidget(Label5, 2, 0, 1, 2);
  application->addWidget(Txtviewprg, 3, 0);
  application->addWidget(cmdviewprg, 3, 1);
  auto* filter = new QHBoxLayout;
  filter->addWidget(Label6);
  filter->addWidget(Text1, 1);
  application->addLayout(filter, 4, 0, 1, 2);
  application->addWidget(Chkshut, 5, 0, 1, 2);
  application->addWidget(Chkmail, 6, 0, 1, 2);
  auto* mail = new QHBoxLayout;
  mail->addSpacing(kIndentPx);
  mail->addWidget(txtmail, 1);
  application->addLayout(mail, 7, 0, 1, 2);
  application->setRowStretch(8, 1);

  auto* machine = compact(new QGridLayout(Frame5));
  machine->setHorizontalSpacing(6);
  machine->addWidget(Label12, 0, 0);
  machine->addWidget(optmachine->button(0), 0, 1);
  machine->addWidget(optmachine->button(1), 0, 2);
  const std::tuple<QLabel*, QLineEdit*, QLabel*> numbers[] = {
      {Label13, txtrapid, Label14}, {Label15, txtspindle, Label16}, {Label17, txttoolchange, Label18}};
  int line = 1;
  for (const auto& [caption, box, unit] : numbers) {
    machine->addWidget(caption, line, 0);
    machine->addLayout(row({box, unit}), line, 1, 1, 2);  // the unit right after its number
    ++line;
  }
  machine->addWidget(Label19, line, 0);
  machine->addWidget(optpoint->button(0), line, 1);
  machine->addWidget(optpoint->button(1), line, 2);
  machine->addWidget(chkrestarttool, line + 1, 0, 1, 4);
  machine->setColumnStretch(3, 1);

  auto* service = compact(new QGridLayout(Frame4));
  service->setHorizontalSpacing(6);
  service->addWidget(chkservice, 0, 0, 1, 3);
  service->addWidget(Label10, 1, 0);
  service->addWidget(txtprgfolder, 1, 1);
  service->addWidget(cmdprgfolder, 1, 2);
  service->addWidget(Label11, 2, 0);
  service->addWidget(txtrcvfolder, 2, 1);
  service->addWidget(cmdrcvfolder, 2, 2);
  service->setColumnStretch(1, 1);

  auto* middle = new QGridLayout;
  middle->setSpacing(4);
  middle->addWidget(Frame2, 0, 0, 2, 1);
  middle->addWidget(Frame3, 0, 1);
  middle->addWidget(Frame5, 1, 1);
  middle->setColumnStretch(0, 1);
  middle->setColumnStretch(1, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cmdfsave);
  buttons->addWidget(cmdsetok);

  auto* dialog = new QVBoxLayout(this);
  dialog->setContentsMargins(8, 6, 8, 8);
  dialog->setSpacing(4);
  dialog->addLayout(top);
  dialog->addLayout(options);
  dialog->addLayout(middle);
  dialog->addWidget(Frame4);
  dialog->addLayout(buttons);
  // A fixed border: the dialog is as large as its frames need, no larger, and follows its font.
  dialog->setSizeConstraint(QLayout::SetFixedSize);
  sizeNumberBoxes();
}

void Form3::sizeNumberBoxes() {
  const QFontMetrics metrics(font());
  // The frame and text margins of a line edit as the style draws them, beside the digits.
  const int chrome = 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 8;
  auto fit = [&](QLineEdit* box, int digits) {
    box->setFixedWidth(metrics.horizontalAdvance(QString(digits, QLatin1Char('0'))) + chrome);
  };
  for (QLineEdit* box : {txtfeedlen0, txtfeedlen1, txtwaittime}) fit(box, 6);
  for (QLineEdit* box : {txtrapid, txtspindle, txttoolchange}) fit(box, 8);
  // Room for a name and for a folder path to be read without scrolling.
  portname->setMinimumWidth(metrics.horizontalAdvance(QString(12, QLatin1Char('0'))));
  txtprgfolder->setMinimumWidth(metrics.horizontalAdvance(QString(30, QLatin1Char('0'))));
}

void Form3::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) sizeNumberBoxes();
}

}  // namespace korvane
