// Building the main window's controls and menus and wiring each event to its one handler.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

#include "ui/japanese_fonts.h"
#include "ui/main_window.h"
#include "ui/twips.h"

namespace korvane {

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QFont& font) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setFont(font);
  button->setAutoDefault(false);
  return button;
}

// One half of an etched separator: a line one pixel thick in the given colour role.
QFrame* makeLine(QWidget* parent, const char* name, QPalette::ColorRole role) {
  auto* line = new QFrame(parent);
  line->setObjectName(QString::fromLatin1(name));
  line->setFrameShape(QFrame::NoFrame);
  line->setAutoFillBackground(true);
  QPalette palette = line->palette();
  const QColor colour = role == QPalette::Light ? QColor(Qt::white) : palette.color(QPalette::Dark);
  palette.setColor(QPalette::Window, colour);
  line->setPalette(palette);
  return line;
}

QAction* addItem(QMenu* menu, const char* name, const QString& caption) {
  QAction* action = menu->addAction(caption);
  action->setObjectName(QString::fromLatin1(name));
  return action;
}

}  // namespace

void MainWindow::buildControls() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("Form1"));
  setCentralWidget(client);

  const QFont small(kGothicFamily, 9);

  Label2 = new QLabel(QStringLiteral("マシン"), client);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setFont(small);

  comportm = new QComboBox(client);
  comportm->setObjectName(QStringLiteral("comportm"));
  comportm->setFont(QFont(kGothicFamily, 12));
  comportm->setEditable(false);

  List1 = new QListWidget(client);
  List1->setObjectName(QStringLiteral("List1"));
  List1->setFont(QFont(kPGothicFamily, 12));
  List1->setSelectionMode(QAbstractItemView::MultiSelection);

  flistadd = makeButton(client, "flistadd", QStringLiteral("追加"), small);
  flistins = makeButton(client, "flistins", QStringLiteral("挿入"), small);
  flistdel = makeButton(client, "flistdel", QStringLiteral("削除"), small);
  cmdedit = makeButton(client, "cmdedit", QStringLiteral("編集"), small);

  ProgressBar1 = new QProgressBar(client);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);

  Cmdsend = makeButton(client, "Cmdsend", QStringLiteral("送信"), small);
  cmdget = makeButton(client, "cmdget", QStringLiteral("受信"), small);
  cmdportset = makeButton(client, "cmdportset", QStringLiteral("設定"), small);
  cmdexit = makeButton(client, "cmdexit", QStringLiteral("終了"), small);

  Check1 = new QCheckBox(QStringLiteral("送信後シャットダウンする"), client);
  Check1->setObjectName(QStringLiteral("Check1"));
  Check1->setFont(small);

  Line2 = makeLine(client, "Line2", QPalette::Dark);
  Line1 = makeLine(client, "Line1", QPalette::Light);
  Line3 = makeLine(client, "Line3", QPalette::Dark);
  Line4 = makeLine(client, "Line4", QPalette::Light);

  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar1"));
  bar->setFixedHeight(twipsToPx(layout_.StatusBar1.height, logicalDpiY()));
  statusPanel1 = new QLabel(bar);
  statusPanel1->setObjectName(QStringLiteral("StatusBar1Panel1"));
  statusPanel2 = new QLabel(bar);
  statusPanel2->setObjectName(QStringLiteral("StatusBar1Panel2"));
  for (QLabel* panel : {statusPanel1, statusPanel2}) panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  // Room for the elapsed time of a day-long send without the panel jumping.
  statusPanel2->setMinimumWidth(statusPanel2->fontMetrics().horizontalAdvance(QStringLiteral("00 : 00 : 00")) + 12);
  bar->addPermanentWidget(statusPanel1, 1);
  bar->addPermanentWidget(statusPanel2, 0);
}

void MainWindow::buildMenus() {
  QMenuBar* bar = menuBar();
  mnufile = bar->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
  mnufile->setObjectName(QStringLiteral("mnufile"));
  mnufileopen = addItem(mnufile, "mnufileopen", QStringLiteral("開く(&O)"));
  mnuedit = addItem(mnufile, "mnuedit", QStringLiteral("編集(&E)"));
  mnusend = addItem(mnufile, "mnusend", QStringLiteral("送信(&S)"));
  mnuget = addItem(mnufile, "mnuget", QStringLiteral("受信(&G)"));
  mnufsave = addItem(mnufile, "mnufsave", QStringLiteral("設定保存(&S)"));
  mnusp = mnufile->addSeparator();
  mnusp->setObjectName(QStringLiteral("mnusp"));
  mnuexit = addItem(mnufile, "mnuexit", QStringLiteral("終了(&X)"));

  mnuhelp = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
  mnuhelp->setObjectName(QStringLiteral("mnuhelp"));
  mnuhelphelp = addItem(mnuhelp, "mnuhelphelp", QStringLiteral("ﾍﾙﾌﾟ(&H)"));
  mnuhelpver = addItem(mnuhelp, "mnuhelpver", QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)"));

  flistmnu = new QMenu(this);
  flistmnu->setObjectName(QStringLiteral("flistmnu"));
  flist_fname = addItem(flistmnu, "flist_fname", QStringLiteral("ﾌｧｲﾙ情報"));
  flist_time = addItem(flistmnu, "flist_time", QStringLiteral("加工長、時間"));
  flist_add = addItem(flistmnu, "flist_add", QStringLiteral("追加"));
  flist_ins = addItem(flistmnu, "flist_ins", QStringLiteral("挿入"));
  flist_dell = addItem(flistmnu, "flist_dell", QStringLiteral("削除"));
  flist_edit = addItem(flistmnu, "flist_edit", QStringLiteral("編集"));
  flist_dnc = addItem(flistmnu, "flist_dnc", QStringLiteral("ＤＮＣ変換"));
  flist_view = addItem(flistmnu, "flist_view", QStringLiteral("Viewer"));
  flist_toolpath = addItem(flistmnu, "flist_toolpath", QStringLiteral("ツールパス表示"));
  flist_restart = addItem(flistmnu, "flist_restart", QStringLiteral("途中から送信"));

  flistmnu2 = new QMenu(this);
  flistmnu2->setObjectName(QStringLiteral("flistmnu2"));
  flist_add2 = addItem(flistmnu2, "flist_add2", QStringLiteral("追加"));
}

// Menu and context items run exactly the handler of the button they name.
void MainWindow::connectEvents() {
  const auto wire = [this](auto* source, auto signal, void (MainWindow::*handler)()) {
    connect(source, signal, this, handler);
  };
  wire(flistadd, &QPushButton::clicked, &MainWindow::onAddFiles);
  for (QAction* a : {mnufileopen, flist_add, flist_add2}) wire(a, &QAction::triggered, &MainWindow::onAddFiles);
  wire(flistins, &QPushButton::clicked, &MainWindow::onInsertFile);
  wire(flist_ins, &QAction::triggered, &MainWindow::onInsertFile);
  wire(flistdel, &QPushButton::clicked, &MainWindow::onDeleteFiles);
  wire(flist_dell, &QAction::triggered, &MainWindow::onDeleteFiles);
  wire(cmdedit, &QPushButton::clicked, &MainWindow::onEdit);
  for (QAction* a : {mnuedit, flist_edit}) wire(a, &QAction::triggered, &MainWindow::onEdit);
  wire(flist_view, &QAction::triggered, &MainWindow::onViewer);
  wire(flist_fname, &QAction::triggered, &MainWindow::onFileInfo);
  wire(flist_time, &QAction::triggered, &MainWindow::onMachiningTime);
  wire(flist_dnc, &QAction::triggered, &MainWindow::onDnc);
  wire(flist_toolpath, &QAction::triggered, &MainWindow::onToolpath);
  wire(flist_restart, &QAction::triggered, &MainWindow::onRestartSend);
  wire(Cmdsend, &QPushButton::clicked, &MainWindow::onSend);
  wire(mnusend, &QAction::triggered, &MainWindow::onSend);
  wire(cmdget, &QPushButton::clicked, &MainWindow::onReceive);
  wire(mnuget, &QAction::triggered, &MainWindow::onReceive);
  wire(cmdportset, &QPushButton::clicked, &MainWindow::onSettings);
  wire(mnufsave, &QAction::triggered, &MainWindow::onSaveSettings);
  wire(cmdexit, &QPushButton::clicked, &MainWindow::onExit);
  wire(mnuexit, &QAction::triggered, &MainWindow::onExit);
  wire(mnuhelphelp, &QAction::triggered, &MainWindow::onHelp);
  wire(mnuhelpver, &QAction::triggered, &MainWindow::onAbout);
  connect(comportm, &QComboBox::currentIndexChanged, this, &MainWindow::onMachineSelected);
  connect(Check1, &QCheckBox::clicked, this, &MainWindow::onShutdownClicked);
}

// "終了" first, so the window opens with the focus on it.
void MainWindow::applyTabOrder() {
  const QList<QWidget*> order = {cmdexit, Cmdsend, cmdedit,  cmdportset, cmdget, comportm,
                                 List1,   flistadd, flistdel, flistins,   Check1};
  for (qsizetype i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void MainWindow::placeControls() {
  const qreal dpiX = logicalDpiX();
  const qreal dpiY = logicalDpiY();
  const auto place = [&](QWidget* w, const TwipRect& r) {
    w->setGeometry(twipsToPx(r.left, dpiX), twipsToPx(r.top, dpiY), twipsToPx(r.width, dpiX),
                   twipsToPx(r.height, dpiY));
  };
  const auto placeLine = [&](QFrame* w, const TwipLine& l) {
    const int left = twipsToPx(std::min(l.x1, l.x2), dpiX);
    const int right = twipsToPx(std::max(l.x1, l.x2), dpiX);
    w->setGeometry(left, twipsToPx(l.y1, dpiY), std::max(1, right - left), 1);
  };
  place(Label2, layout_.Label2);
  place(comportm, layout_.comportm);
  place(List1, layout_.List1);
  place(flistadd, layout_.flistadd);
  place(flistins, layout_.flistins);
  place(flistdel, layout_.flistdel);
  place(cmdedit, layout_.cmdedit);
  place(ProgressBar1, layout_.ProgressBar1);
  place(Cmdsend, layout_.Cmdsend);
  place(cmdget, layout_.cmdget);
  place(cmdportset, layout_.cmdportset);
  place(cmdexit, layout_.cmdexit);
  place(Check1, layout_.Check1);
  placeLine(Line1, layout_.Line1);
  placeLine(Line2, layout_.Line2);
  placeLine(Line3, layout_.Line3);
  placeLine(Line4, layout_.Line4);
}

}  // namespace korvane
