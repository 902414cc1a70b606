// The communication settings dialog: load, fill, the edit rule of every control, the port
// availability check before a line setting is taken over, save and close.
#include "ui/settings_dialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRegularExpression>
#include <cmath>

#include "settings/ini_file.h"
#include "ui/dialog_message.h"
#include "ui/file_dialogs.h"
#include "ui/folder_chooser.h"

namespace korvane {

double waitTimeFromText(const QString& text) {
  QString compact;
  for (QChar c : text)
    if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r') compact += c;
  qsizetype end = 0;
  if (end < compact.size() && (compact[end] == u'+' || compact[end] == u'-')) ++end;
  bool digits = false;
  bool point = false;
  for (; end < compact.size(); ++end) {
    const QChar c = compact[end];
    if (c >= u'0' && c <= u'9') {
      digits = true;
    } else if (c == u'.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return 0;
  return compact.left(end).toDouble();
}

QString portChoiceText(const PortChoice& port) {
  const QString name = QStringLiteral("Com %1").arg(port.number);
  return port.openable ? name : name + QStringLiteral(" (開けません)");
}

namespace {

// The port number an entry of the port list stands for.
constexpr int kPortNumberRole = Qt::UserRole;

// An empty feed box stores 0; a text that is not a number keeps the stored length, so a half
// typed entry ("-", "1e") never turns into a surprise value. Nor does a length beyond what a
// send can give: the box says so when the operator leaves it (feedTextRefused).
void applyFeedText(const QString& text, double& target) {
  if (text.trimmed().isEmpty()) {
    target = 0;
    return;
  }
  bool ok = false;
  const float value = text.toFloat(&ok);
  if (ok && feedLengthUsable(value)) target = static_cast<double>(value);
}

// A number typed into a feed box that applyFeedText refused for its size: longer than a send
// can give, or beyond the range of a number at all ("1e999").
bool feedTextRefused(const QString& text) {
  const QString t = text.trimmed();
  bool isNumber = false;
  const double value = t.toDouble(&isNumber);
  if (std::isinf(value)) return true;
  if (isNumber) return !feedLengthUsable(value);
  static const QRegularExpression hugeNumber(QStringLiteral("^\\+?[0-9]*\\.?[0-9]+[eE]\\+?[0-9]+$"));
  return hugeNumber.match(t).hasMatch();
}

double checkValue(const QCheckBox* box) { return box->isChecked() ? 1 : 0; }

// Checks option index of group, or none when the index is not one of its options.
void showOption(QButtonGroup* group, int index) {
  if (QAbstractButton* option = group->button(index)) {
    option->setChecked(true);
    return;
  }
  group->setExclusive(false);
  for (QAbstractButton* option : group->buttons()) option->setChecked(false);
  group->setExclusive(true);
}

}  // namespace

Form3::Form3(SettingsStore& store, const QList<PortChoice>& ports, Hooks hooks, QWidget* parent)
    : QDialog(parent), store_(store), hooks_(std::move(hooks)) {
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
  setModal(false);
  buildControls();
  placeControls();
  for (int n = 1; n <= kProfileSlots; ++n) comport->addItem(QString::number(n));
  comport->setCurrentIndex(-1);
  for (const PortChoice& port : ports) {
    Combo1->addItem(portChoiceText(port), port.number);
    Combo1->setItemData(Combo1->count() - 1, port.detail, Qt::ToolTipRole);
  }
  Combo1->setCurrentIndex(-1);
  machineNumbers_ = {
      {txtrapid, &PortProfile::rapidRate, 0, false, kMaxRapidRate,
       QStringLiteral("早送り速度は 0 より大きく 1000000 mm/min までの数にしてください")},
      {txtspindle, &PortProfile::maxSpindleSpeed, 0, false, kMaxSpindleSpeed,
       QStringLiteral("最高回転数は 0 より大きく 1000000 rpm までの数にしてください")},
      {txttoolchange, &PortProfile::toolChangeSeconds, 0, true, kMaxToolChangeSeconds,
       QStringLiteral("工具交換時間は 0 から 3600 秒までの数にしてください")},
  };
  connectEvents();
  load();
}

Form3::~Form3() = default;

PortProfile& Form3::edited() { return store_.profile(editedProfile_); }

void Form3::connectEvents() {
  connect(comport, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (filling_ || index < 0) return;
    editedProfile_ = index + 1;
    fill();
  });
  connect(Combo1, &QComboBox::currentIndexChanged, this, [this](int index) {
    Combo1->setToolTip(index >= 0 ? Combo1->itemData(index, Qt::ToolTipRole).toString() : QString());
    if (!filling_ && index >= 0) edited().portNumber = Combo1->itemData(index, kPortNumberRole).toInt();
  });
  connect(portname, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (filling_) return;
    edited().deviceName = text;
    if (hooks_.renameMachine) hooks_.renameMachine(editedProfile_, text);
  });
  connect(comspeed, &QComboBox::activated, this, &Form3::speedChosen);
  for (QButtonGroup* group : {datalen, stoplen, parity, handshake, pcode, optEOB})
    connect(group, &QButtonGroup::idClicked, this, [this, group](int index) { optionClicked(group, index); });

  connect(chkfeed, &QCheckBox::toggled, this, [this](bool on) {
    txtfeedlen0->setEnabled(on);
    txtfeedlen1->setEnabled(on);
    if (!filling_) edited().feedEnabled = on ? 1 : 0;
  });
  connect(txtfeedlen0, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!filling_) applyFeedText(text, edited().feedLength);
  });
  connect(txtfeedlen1, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!filling_) applyFeedText(text, edited().feedLength2);
  });
  for (QLineEdit* box : {txtfeedlen0, txtfeedlen1}) {
    connect(box, &QLineEdit::editingFinished, this, [this, box] {
      if (filling_ || !feedTextRefused(box->text())) return;
      const double stored = box == txtfeedlen0 ? edited().feedLength : edited().feedLength2;
      box->setText(QString::number(stored));
      showDialogMessage(this, feedLengthLimitMessage());
    });
  }
  connect(Chkdc2, &QCheckBox::toggled, this, [this](bool on) {
    if (!on) Chkdc3->setChecked(false);
    Chkdc3->setEnabled(on);
    dcChanged();
  });
  connect(Chkdc3, &QCheckBox::toggled, this, &Form3::dcChanged);
  connect(chkdc1, &QCheckBox::toggled, this, [this](bool) {
    if (!filling_) edited().useDc1 = checkValue(chkdc1);
  });
  connect(chkwait, &QCheckBox::toggled, this, [this](bool on) {
    txtwaittime->setEnabled(on);
    if (!filling_) edited().waitEnabled = on ? 1 : 0;
  });
  connect(txtwaittime, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!filling_) edited().waitTime = waitTimeFromText(text);
  });
  connect(Check2, &QCheckBox::toggled, this, [this](bool) {
    if (!filling_) edited().startCr = checkValue(Check2);
  });
  connect(CheckDCD_DSR, &QCheckBox::toggled, this, [this](bool) {
    if (!filling_) edited().checkDcdDsr = checkValue(CheckDCD_DSR);
  });
  connect(chker, &QCheckBox::toggled, this, [this](bool) {
    if (!filling_) edited().ignorePercent = checkValue(chker);
  });

  connect(chkservice, &QCheckBox::toggled, this, [this](bool) {
    if (!filling_) edited().serviceEnabled = checkValue(chkservice);
  });
  connect(chkrestarttool, &QCheckBox::toggled, this, [this](bool) {
    if (!filling_) edited().restartToolChange = checkValue(chkrestarttool);
  });
  connect(txtprgfolder, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!filling_) edited().programFolder = text;
  });
  connect(txtrcvfolder, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!filling_) edited().receiveFolder = text;
  });
  connect(cmdprgfolder, &QPushButton::clicked, this, [this] { chooseFolder(txtprgfolder); });
  connect(cmdrcvfolder, &QPushButton::clicked, this, [this] { chooseFolder(txtrcvfolder); });

  // The estimate's machine keys are no line settings: no port is checked for them.
  connect(optmachine, &QButtonGroup::idClicked, this, [this](int index) { edited().machineKind = index; });
  connect(optpoint, &QButtonGroup::idClicked, this, [this](int index) { edited().decimalPointInput = index; });
  for (const MachineNumber& number : machineNumbers_) connectMachineNumber(number);

  connect(txteditprg, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!filling_) store_.app().editorPath = text;
  });
  connect(Txtviewprg, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!filling_) store_.app().viewerPath = text;
  });
  connect(Text1, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!filling_) store_.app().fileFilter = text;
  });
  connect(Chkshut, &QCheckBox::toggled, this, [this](bool on) {
    if (!filling_) store_.app().shutdownAfterSend = on ? 1 : 0;
  });
  connect(Chkmail, &QCheckBox::toggled, this, [this](bool on) {
    showMailState();
    if (!filling_) store_.app().mailAfterSend = on ? 1 : 0;
  });
  connect(cmdeditprg, &QPushButton::clicked, this, [this] { choosePath(txteditprg, QStringLiteral("ｴﾃﾞｨﾀ")); });
  connect(cmdviewprg, &QPushButton::clicked, this, [this] { choosePath(Txtviewprg, QStringLiteral("ﾋﾞｭｰﾜ")); });
  connect(cmdfsave, &QPushButton::clicked, this, &Form3::onSave);
  connect(cmdsetok, &QPushButton::clicked, this, &Form3::onClose);
}

// A number is stored as soon as it is one the estimate can use; while the text is anything else
// (half typed, empty, out of range) the value in use stays, and leaving the box says what it
// takes and shows that value again.
void Form3::connectMachineNumber(const MachineNumber& number) {
  const auto usable = [number](const QString& text, double* value) {
    bool ok = false;
    *value = text.trimmed().toDouble(&ok);
    const bool aboveLeast = number.leastTaken ? *value >= number.least : *value > number.least;
    return ok && aboveLeast && *value <= number.most;  // false for NaN too
  };
  connect(number.box, &QLineEdit::textChanged, this, [this, number, usable](const QString& text) {
    double value = 0;
    if (!filling_ && usable(text, &value)) edited().*number.field = value;
  });
  connect(number.box, &QLineEdit::editingFinished, this, [this, number, usable] {
    double value = 0;
    if (filling_ || usable(number.box->text(), &value)) return;
    number.box->setText(numberText(edited().*number.field));
    showDialogMessage(this, number.refusal);
  });
}

void Form3::load() {
  portCheckArmed_ = false;
  editedProfile_ = 1;
  filling_ = true;
  const AppSettings& app = store_.app();
  txteditprg->setText(app.editorPath);
  Text1->setText(app.fileFilter);
  Chkshut->setChecked(asInt(app.shutdownAfterSend) == 1);
  Chkmail->setChecked(asInt(app.mailAfterSend) == 1);
  txtmail->setText(app.mailAddress);
  chker->setChecked(asInt(store_.profile(1).ignorePercent) == 1);
  Txtviewprg->setText(app.viewerPath);
  filling_ = false;
  showMailState();
}

void Form3::fill() {
  portCheckArmed_ = false;
  filling_ = true;
  PortProfile& p = edited();
  // The list opens on the stored speed; a speed the list does not hold shows as text only.
  const int speedEntry = comspeed->findText(p.baudRate);
  comspeed->setCurrentIndex(speedEntry);
  comspeed->setEditText(p.baudRate);
  // A port that is not listed shows no entry rather than another port's.
  const bool wholePort = p.portNumber == asInt(p.portNumber);
  Combo1->setCurrentIndex(wholePort ? Combo1->findData(asInt(p.portNumber), kPortNumberRole) : -1);
  // A value these options cannot show is shown as the nearest default but stays stored as it
  // is until the operator picks an option.
  showOption(datalen, p.dataBits == u"7" ? 0 : 1);
  showOption(stoplen, p.stopBits == u"1" ? 0 : 1);
  showOption(parity, p.parity == u"E" ? 0 : p.parity == u"O" ? 1 : 2);
  showOption(handshake, asInt(p.handshake));
  showOption(pcode, asInt(p.tapeCode));
  showOption(optEOB, asInt(p.eobMode));
  portname->setText(p.deviceName);
  txtfeedlen0->setText(QString::number(p.feedLength));
  txtfeedlen1->setText(QString::number(p.feedLength2));
  chkfeed->setChecked(asInt(p.feedEnabled) == 1);
  txtfeedlen0->setEnabled(chkfeed->isChecked());
  txtfeedlen1->setEnabled(chkfeed->isChecked());
  txtwaittime->setText(QString::number(p.waitTime));
  chkwait->setChecked(p.waitEnabled != 0);
  txtwaittime->setEnabled(p.waitEnabled != 0);
  if (p.useDc2Dc4 == 0) {
    Chkdc2->setChecked(false);
    Chkdc3->setChecked(false);
    Chkdc3->setEnabled(false);
  } else if (p.useDc2Dc4 == 1) {
    Chkdc2->setChecked(true);
    Chkdc3->setChecked(false);
    Chkdc3->setEnabled(true);
  } else {
    Chkdc2->setChecked(true);
    Chkdc3->setChecked(true);
    Chkdc3->setEnabled(true);
  }
  // The two boxes are the only form of this value the senders act on, so it is normalised here:
  // a stored 5 means "both" and is kept as 2 from now on.
  p.useDc2Dc4 = checkValue(Chkdc2) + checkValue(Chkdc3);
  Check2->setChecked(asInt(p.startCr) == 1);
  chkdc1->setChecked(asInt(p.useDc1) == 1);
  chker->setChecked(asInt(p.ignorePercent) == 1);
  CheckDCD_DSR->setChecked(asInt(p.checkDcdDsr) == 1);
  chkservice->setChecked(asInt(p.serviceEnabled) == 1);
  chkrestarttool->setChecked(asInt(p.restartToolChange) != 0);
  txtprgfolder->setText(p.programFolder);
  txtrcvfolder->setText(p.receiveFolder);
  showOption(optmachine, p.machineKind == asInt(p.machineKind) ? asInt(p.machineKind) : -1);
  showOption(optpoint, p.decimalPointInput == asInt(p.decimalPointInput) ? asInt(p.decimalPointInput) : -1);
  for (const MachineNumber& number : machineNumbers_) number.box->setText(numberText(p.*number.field));
  filling_ = false;
  portCheckArmed_ = true;
}

void Form3::selectProfile(int slot) {
  if (slot < 1 || slot > kProfileSlots) {
    const bool wasFilling = filling_;
    filling_ = true;
    comport->setCurrentIndex(-1);
    filling_ = wasFilling;
    return;
  }
  filling_ = true;
  comport->setCurrentIndex(slot - 1);
  filling_ = false;
  editedProfile_ = slot;
  fill();
}

bool Form3::portAvailable() {
  if (!portCheckArmed_) return true;
  std::unique_ptr<SerialPort> port = hooks_.makePort ? hooks_.makePort() : nullptr;
  if (!port) return true;  // nothing to check against on this platform; the transfer will say so
  port->setCommPort(asInt(edited().portNumber));
  PortError error;
  const bool opened = port->open(&error);
  port->close();
  if (opened) return true;
  showDialogMessage(this, error.description);
  fill();
  return false;
}

void Form3::optionClicked(QButtonGroup* group, int index) {
  if (!portAvailable()) return;
  PortProfile& p = edited();
  if (group == datalen) {
    p.dataBits = index == 0 ? QStringLiteral("7") : QStringLiteral("8");
  } else if (group == stoplen) {
    p.stopBits = index == 0 ? QStringLiteral("1") : QStringLiteral("2");
  } else if (group == parity) {
    p.parity = index == 0 ? QStringLiteral("E") : index == 1 ? QStringLiteral("O") : QStringLiteral("N");
  } else if (group == handshake) {
    p.handshake = index;
  } else if (group == pcode) {
    p.tapeCode = index;
  } else if (group == optEOB) {
    p.eobMode = index;
  }
}

void Form3::speedChosen(int index) {
  if (index < 0 || !portAvailable()) return;
  const QString text = comspeed->itemText(index);
  comspeed->setEditText(text);
  edited().baudRate = text;
}

void Form3::dcChanged() {
  if (!filling_) edited().useDc2Dc4 = checkValue(Chkdc2) + checkValue(Chkdc3);
}

void Form3::showMailState() {
  const bool on = Chkmail->isChecked();
  txtmail->setEnabled(on);
  QPalette colours = txtmail->palette();
  const QPalette system = palette();
  colours.setColor(QPalette::Base, on ? system.color(QPalette::Base) : system.color(QPalette::Button));
  txtmail->setPalette(colours);
}

void Form3::choosePath(QLineEdit* box, const QString& caption) {
  if (!fileDialogs_) {
    ownDialogs_ = std::make_unique<QtFileDialogs>(this);
    fileDialogs_ = ownDialogs_.get();
  }
  const QString current = box->text();
  const QString folder = current.isEmpty() ? store_.app().dataFolder : QFileInfo(current).absolutePath();
  const std::optional<QStringList> chosen =
      fileDialogs_->openFiles(caption, folder, QStringLiteral("すべてのﾌｧｲﾙ (*.*)|*.*"), false);
  if (!chosen || chosen->isEmpty() || chosen->first().isEmpty()) return;
  box->setText(chosen->first());  // the box's edit rule stores the path
}

// The folder chooser of the reception opens on the folder the box names (or, while it names
// none, the data folder) and gives the box the folder chosen; Cancel leaves it as it was.
void Form3::chooseFolder(QLineEdit* box) {
  const QString current = box->text().trimmed();
  const QString chosen = chooseReceiveFolder(this, current.isEmpty() ? store_.app().dataFolder : current);
  if (!chosen.isEmpty()) box->setText(chosen);  // the box's edit rule stores the folder
}

void Form3::onSave() {
  if (hooks_.setShutdownCheck) hooks_.setShutdownCheck(asInt(store_.app().shutdownAfterSend) == 1);
  store_.app().mailAddress = txtmail->text();
  QString error;
  if (!store_.saveSettings(&error)) showDialogMessage(this, error);
}

void Form3::onClose() {
  if (hooks_.setShutdownCheck) hooks_.setShutdownCheck(asInt(store_.app().shutdownAfterSend) == 1);
  hide();
}

void Form3::closeEvent(QCloseEvent* event) {
  event->ignore();
  onClose();
}

void Form3::reject() { onClose(); }

}  // namespace korvane
