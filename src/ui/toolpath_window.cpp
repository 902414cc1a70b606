#include "ui/toolpath_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMetaMethod>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <limits>
#include <vector>

#include "ui/toolpath_blocks.h"
#include "ui/toolpath_canvas.h"

namespace korvane {

using toolpath::View;

namespace {

QString mm(double value) { return QString::number(value, 'f', 3); }

// Formats a number as the program writes it, without trailing zeros: the block table keeps F and
// S to seven digits.
QString written(double value) { return QString::number(value, 'g', 7); }

}  // namespace

ToolpathWindow::ToolpathWindow(const QString& path, const MachineModel& machine, QWidget* parent)
    : QWidget(parent, Qt::Window), path_(path), lathe_(machine.lathe()) {
  setObjectName(QStringLiteral("toolpathWindow"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("ツールパス表示 - ") + QFileInfo(path).fileName());
  buildControls();
  resize(1100, 720);
  // The worker tells from its own thread that results wait; they are taken on this one. The
  // slot is looked up here, once: the worker only posts the call.
  const QMetaMethod take = metaObject()->method(metaObject()->indexOfSlot("takeResults()"));
  worker_ = std::make_unique<ToolpathWorker>([this, take] { take.invoke(this, Qt::QueuedConnection); });
  canvas->setWorker(worker_.get());
  worker_->load(path, machine);
}

ToolpathWindow::~ToolpathWindow() {
  // The reading or drawing in hand is given up, and the thread ends, before anything it tells
  // could reach a window that is going.
  worker_.reset();
}

void ToolpathWindow::buildControls() {
  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  bar->addWidget(new QLabel(QStringLiteral("表示"), this));
  viewBox = new QComboBox(this);
  viewBox->setObjectName(QStringLiteral("viewBox"));
  const std::vector<View> views =
      lathe_ ? std::vector<View>{View::Lathe} : std::vector<View>{View::Top, View::Front, View::Side, View::Iso};
  for (const View v : views) viewBox->addItem(toolpath::viewCaption(v), static_cast<int>(v));
  bar->addWidget(viewBox);
  rapidsBox = new QCheckBox(QStringLiteral("早送り"), this);
  rapidsBox->setObjectName(QStringLiteral("rapidsBox"));
  rapidsBox->setChecked(true);
  cutsBox = new QCheckBox(QStringLiteral("切削"), this);
  cutsBox->setObjectName(QStringLiteral("cutsBox"));
  cutsBox->setChecked(true);
  fitButton = new QPushButton(QStringLiteral("全体表示"), this);
  fitButton->setObjectName(QStringLiteral("fitButton"));
  fitButton->setAutoDefault(false);
  bar->addWidget(rapidsBox);
  bar->addWidget(cutsBox);
  bar->addWidget(fitButton);
  bar->addStretch(1);
  progressBar = new QProgressBar(this);
  progressBar->setObjectName(QStringLiteral("progressBar"));
  progressBar->setRange(0, 100);
  progressBar->setMaximumWidth(220);
  bar->addWidget(progressBar);
  layout->addLayout(bar);

  auto* splitter = new QSplitter(Qt::Horizontal, this);
  canvas = new ToolpathCanvas(splitter);
  auto* side = new QWidget(splitter);
  auto* sideLayout = new QVBoxLayout(side);
  sideLayout->setContentsMargins(0, 0, 0, 0);
  blockInfo = new QLabel(side);
  blockInfo->setObjectName(QStringLiteral("blockInfo"));
  blockInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
  blockInfo->setWordWrap(true);
  blockInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  blockInfo->setMinimumHeight(110);
  sideLayout->addWidget(blockInfo);
  blockList = new QTableView(side);
  blockList->setObjectName(QStringLiteral("blockList"));
  blockList->setSelectionBehavior(QAbstractItemView::SelectRows);
  blockList->setSelectionMode(QAbstractItemView::SingleSelection);
  blockList->setWordWrap(false);
  blockList->verticalHeader()->hide();
  // Rows of one height: a list of millions of blocks is laid out without measuring each.
  blockList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  blockList->verticalHeader()->setDefaultSectionSize(blockList->fontMetrics().height() + 4);
  blockList->horizontalHeader()->setStretchLastSection(true);
  sideLayout->addWidget(blockList, 1);
  splitter->addWidget(canvas);
  splitter->addWidget(side);
  splitter->setStretchFactor(0, 3);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({760, 340});
  layout->addWidget(splitter, 1);

  auto* steps = new QHBoxLayout;
  previousButton = new QPushButton(QStringLiteral("◀"), this);
  previousButton->setObjectName(QStringLiteral("previousButton"));
  nextButton = new QPushButton(QStringLiteral("▶"), this);
  nextButton->setObjectName(QStringLiteral("nextButton"));
  for (QPushButton* b : {previousButton, nextButton}) {
    b->setAutoRepeat(true);
    b->setAutoDefault(false);
    b->setFixedWidth(40);
  }
  blockSlider = new QSlider(Qt::Horizontal, this);
  blockSlider->setObjectName(QStringLiteral("blockSlider"));
  steps->addWidget(new QLabel(QStringLiteral("ブロック"), this));
  steps->addWidget(previousButton);
  steps->addWidget(blockSlider, 1);
  steps->addWidget(nextButton);
  restartButton = new QPushButton(QStringLiteral("途中から送信"), this);
  restartButton->setObjectName(QStringLiteral("restartButton"));
  restartButton->setAutoDefault(false);
  restartButton->setToolTip(QStringLiteral("選んだブロックから再開するプログラムを作って送ります"));
  steps->addWidget(restartButton);
  layout->addLayout(steps);

  extentsLabel = new QLabel(this);
  extentsLabel->setObjectName(QStringLiteral("extentsLabel"));
  extentsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  measureLabel = new QLabel(QStringLiteral("2 点をクリックすると距離を表示します (右クリックで消去)"), this);
  measureLabel->setObjectName(QStringLiteral("measureLabel"));
  statusLabel = new QLabel(QStringLiteral("読み込み中…"), this);
  statusLabel->setObjectName(QStringLiteral("statusLabel"));
  statusLabel->setWordWrap(true);
  layout->addWidget(extentsLabel);
  layout->addWidget(measureLabel);
  layout->addWidget(statusLabel);

  for (QWidget* w : std::initializer_list<QWidget*>{viewBox, rapidsBox, cutsBox, fitButton, previousButton,
                                                    nextButton, blockSlider, blockList, restartButton}) {
    w->setEnabled(false);
  }
  connect(viewBox, &QComboBox::currentIndexChanged, this,
          [this](int) { canvas->setView(static_cast<View>(viewBox->currentData().toInt())); });
  connect(rapidsBox, &QCheckBox::toggled, this, &ToolpathWindow::updateShown);
  connect(cutsBox, &QCheckBox::toggled, this, &ToolpathWindow::updateShown);
  connect(fitButton, &QPushButton::clicked, canvas, &ToolpathCanvas::fitAll);
  connect(blockSlider, &QSlider::valueChanged, this, [this](int value) { chooseBlock(value); });
  connect(previousButton, &QPushButton::clicked, this, [this] {
    if (chosen_ && *chosen_ > 0) chooseBlock(*chosen_ - 1);
  });
  connect(nextButton, &QPushButton::clicked, this, [this] {
    if (chosen_ && toolpath_ && *chosen_ + 1 < toolpath_->blockCount()) chooseBlock(*chosen_ + 1);
  });
  connect(restartButton, &QPushButton::clicked, this, [this] {
    if (chosen_) emit restartRequested(path_, *chosen_);
  });
  connect(canvas, &ToolpathCanvas::measured, this, [this](const QString& text) {
    measureLabel->setText(text.isEmpty() ? QStringLiteral("2 点をクリックすると距離を表示します (右クリックで消去)") : text);
  });
}

void ToolpathWindow::setView(View view) {
  const int index = viewBox->findData(static_cast<int>(view));
  if (index >= 0) viewBox->setCurrentIndex(index);
}

void ToolpathWindow::updateShown() { canvas->setShown(rapidsBox->isChecked(), cutsBox->isChecked()); }

void ToolpathWindow::takeResults() {
  if (!worker_) return;
  ToolpathWorker::Results results = worker_->take();
  if (results.progress && !toolpath_) {
    progressBar->setValue(static_cast<int>(*results.progress * 100));
  }
  if (results.loaded) onLoaded(results.path, results.error);
  if (results.picture) canvas->takePicture(std::move(*results.picture));
}

void ToolpathWindow::onLoaded(std::shared_ptr<const Toolpath> path, const QString& error) {
  progressBar->hide();
  if (!path) {
    statusLabel->setText(QFileInfo(path_).fileName() + QStringLiteral(": ") +
                         (error.isEmpty() ? QStringLiteral("読み込みを中止しました") : error));
    emit loaded(false);
    return;
  }
  toolpath_ = std::move(path);
  canvas->setView(lathe_ ? View::Lathe : View::Top);
  canvas->setToolpath(toolpath_);
  model_ = new BlockListModel(toolpath_, this);
  blockList->setModel(model_);
  blockList->setColumnWidth(BlockListModel::LineColumn, blockList->fontMetrics().horizontalAdvance(QStringLiteral("00000000")));
  blockList->setColumnWidth(BlockListModel::TimeColumn, blockList->fontMetrics().horizontalAdvance(QStringLiteral("0000.00__")));
  connect(blockList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid()) chooseBlock(current.row());
          });
  const std::int64_t count = toolpath_->blockCount();
  blockSlider->setRange(0, static_cast<int>(std::clamp<std::int64_t>(count - 1, 0, std::numeric_limits<int>::max())));
  // A click beside the handle moves a fiftieth of the program; the arrow keys a block.
  blockSlider->setPageStep(static_cast<int>(std::clamp<std::int64_t>(count / 50, 1, std::numeric_limits<int>::max())));
  for (QWidget* w : std::initializer_list<QWidget*>{viewBox, rapidsBox, cutsBox, fitButton, previousButton,
                                                    nextButton, blockSlider, blockList, restartButton}) {
    w->setEnabled(count > 0);
  }
  extentsLabel->setText(toolpath::extentsLines(*toolpath_).join(QLatin1Char('\n')));
  QStringList notes;
  double total = 0;
  for (const MachiningRow& row : toolpath_->rows()) total += row.minutes;
  notes << QStringLiteral("%1 ブロック  %2 移動  加工時間 計 %3 分")
               .arg(count)
               .arg(toolpath_->moveCount())
               .arg(QString::number(total, 'f', 2));
  if (toolpath_->macroSeen()) notes << QStringLiteral("マクロ文は読まずに表示しています");
  statusLabel->setText(notes.join(QStringLiteral("  ")));
  if (count > 0) chooseBlock(count - 1);
  emit loaded(true);
}

void ToolpathWindow::chooseBlock(std::int64_t ordinal) {
  if (!toolpath_ || ordinal < 0 || ordinal >= toolpath_->blockCount()) return;
  if (chosen_ == ordinal) return;
  chosen_ = ordinal;
  {
    const QSignalBlocker blocked(blockSlider);
    blockSlider->setValue(static_cast<int>(std::min<std::int64_t>(ordinal, std::numeric_limits<int>::max())));
  }
  if (model_ && ordinal <= std::numeric_limits<int>::max()) {
    const QSignalBlocker blocked(blockList->selectionModel());
    const QModelIndex index = model_->index(static_cast<int>(ordinal), BlockListModel::TextColumn);
    blockList->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    blockList->scrollTo(index);
  }
  const bool last = ordinal + 1 == toolpath_->blockCount();
  canvas->setUntilMove(last ? std::nullopt : std::optional<std::size_t>(toolpath_->movesThrough(ordinal)));
  const Toolpath::BlockInfo block = toolpath_->block(ordinal);
  machining::Point at = block.position;
  if (lathe_) at.x /= 2;  // the view draws the radius
  canvas->setMarker(at);
  blockInfo->setText(blockDescription(ordinal));
  emit blockChosen(ordinal);
}

QString ToolpathWindow::blockDescription(std::int64_t ordinal) const {
  const Toolpath::BlockInfo b = toolpath_->block(ordinal);
  QStringList lines;
  lines << QStringLiteral("ブロック %1 / %2   行 %3").arg(ordinal + 1).arg(toolpath_->blockCount()).arg(b.place.line);
  lines << (model_ ? model_->blockText(ordinal) : QString());
  if (lathe_) {
    lines << QStringLiteral("位置  X(直径) %1  Z %2").arg(mm(b.position.x), mm(b.position.z));
  } else {
    lines << QStringLiteral("位置  X %1  Y %2  Z %3").arg(mm(b.position.x), mm(b.position.y), mm(b.position.z));
  }
  const QString feed = !b.feedWritten ? QStringLiteral("—")
                                      : written(b.feed) + (b.perRevolution ? QStringLiteral(" (毎回転)") : QString());
  const QString spindle = b.spindle == 0 ? QStringLiteral("—")
                                         : written(b.spindle) + (b.constantSurfaceSpeed ? QStringLiteral(" (周速一定)") : QString());
  lines << QStringLiteral("F %1   S %2   T %3").arg(feed, spindle).arg(b.tool);
  lines << QStringLiteral("加工時間 %1 分").arg(QString::number(b.minutes, 'f', 2));
  if (b.passedOver) lines << QStringLiteral("サイクルの形状: 移動はサイクルのブロックが行います");
  if (model_ && model_->fileChanged()) lines << QStringLiteral("ファイルは読み込んだ後に変更されています");
  return lines.join(QLatin1Char('\n'));
}

}  // namespace korvane
