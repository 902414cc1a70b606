#include "ui/restart_dialog.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QBrush>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "analysis/block_selector.h"
#include "analysis/decimal_format.h"
#include "analysis/dnc_line_reader.h"
#include "ui/japanese_fonts.h"

namespace korvane {

namespace {

QString fixed(double value, int decimals) { return QString::fromStdString(formatFixed(value, decimals)); }

QString toolText(double t, int digits) {
  return QStringLiteral("T") + QString::number(static_cast<qint64>(t)).rightJustified(std::max(digits, 1), QLatin1Char('0'));
}

}  // namespace

// The program's blocks, one row each: line, N, tool change, minutes into the program, text.
class RestartBlockModel final : public QAbstractTableModel {
 public:
  RestartBlockModel(const RestartSource& source, const ProgramRecords& records, bool lathe, QObject* parent)
      : QAbstractTableModel(parent), source_(source), records_(records), lathe_(lathe) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(records_.blocks.size());
  }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 5; }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    static const QStringList headers{QStringLiteral("行"), QStringLiteral("N"), QStringLiteral("工具交換"),
                                     QStringLiteral("時間(分)"), QStringLiteral("ブロック")};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= headers.size()) return {};
    return headers[section];
  }

  QVariant data(const QModelIndex& index, int role) const override {
    const std::size_t k = static_cast<std::size_t>(index.row());
    if (!index.isValid() || k >= records_.blocks.size()) return {};
    const BlockRecord& r = records_.blocks[k];
    if (role == Qt::ForegroundRole && r.passedOver) return QBrush(QApplication::palette().color(QPalette::Disabled, QPalette::Text));
    if (role == Qt::TextAlignmentRole && index.column() < 4) return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
      case 0: return QString::number(r.place.line);
      case 1: return r.has(Address::N) ? QString::fromStdString(formatFixed(r.n, 0)) : QString();
      case 2: {
        if (!changesTool(k)) return QString();
        const QString count = QString::number(r.toolChanges + 1);
        return r.has(Address::T) ? count + QStringLiteral(": ") + toolText(r.t, r.tDigits) : count;
      }
      case 3: return r.told && !r.passedOver ? fixed(r.minutes, 2) : QString();
      case 4: return blockText(k);
      default: return {};
    }
  }

  QString blockText(std::size_t k) const {
    const BlockPlace& p = records_.blocks[k].place;
    return decodeNcText(QByteArrayView(source_.bytes).sliced(p.offset, p.bytes));
  }

  // The block that puts the next tool in: an M06, or a lathe's T naming a new tool.
  bool changesTool(std::size_t k) const {
    const BlockRecord& r = records_.blocks[k];
    if (!lathe_) return (r.mCodes & kToolChange) != 0;
    for (std::size_t j = k + 1; j < records_.blocks.size(); ++j) {
      if (records_.blocks[j].told && !records_.blocks[j].passedOver) return records_.blocks[j].toolChanges > r.toolChanges;
    }
    return false;
  }

 private:
  const RestartSource& source_;
  const ProgramRecords& records_;
  bool lathe_;
};

frmRestart::frmRestart(RestartSource source, const MachineModel& machine, const RestartOptions& options, QWidget* parent)
    : QDialog(parent), source_(std::move(source)), machine_(machine), options_(options) {
  setObjectName(QStringLiteral("frmRestart"));
  setWindowTitle(kRestartCaption + QStringLiteral(" - ") + source_.displayName);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  records_ = readProgramRecords(source_.bytes, source_.displayName, machine_);
  QApplication::restoreOverrideCursor();

  lblfile = new QLabel(this);
  lblfile->setObjectName(QStringLiteral("lblfile"));
  lblfile->setText(source_.displayName + (source_.flattened ? QStringLiteral("（M98 を展開したプログラム）") : QString()) +
                   (machine_.lathe() ? QStringLiteral("　旋盤") : QStringLiteral("　マシニングセンタ")));
  txtsearch = new QLineEdit(this);
  txtsearch->setObjectName(QStringLiteral("txtsearch"));
  txtsearch->setPlaceholderText(QStringLiteral("N500、line:120、tool:3 またはブロックの文字"));
  cmdfind = new QPushButton(QStringLiteral("次を検索"), this);
  cmdfind->setObjectName(QStringLiteral("cmdfind"));

  model_ = new RestartBlockModel(source_, records_, machine_.lathe(), this);
  lstblocks = new QTableView(this);
  lstblocks->setObjectName(QStringLiteral("lstblocks"));
  lstblocks->setModel(model_);
  lstblocks->setFont(QFont(kGothicFamily));
  lstblocks->setSelectionBehavior(QAbstractItemView::SelectRows);
  lstblocks->setSelectionMode(QAbstractItemView::SingleSelection);
  lstblocks->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lstblocks->verticalHeader()->hide();
  lstblocks->verticalHeader()->setDefaultSectionSize(lstblocks->fontMetrics().height() + 4);
  lstblocks->horizontalHeader()->setStretchLastSection(true);
  lstblocks->setWordWrap(false);
  const int digit = lstblocks->fontMetrics().horizontalAdvance(QLatin1Char('0'));
  for (int column = 0; column < 4; ++column) lstblocks->setColumnWidth(column, digit * (column == 2 ? 10 : 8) + 12);

  txtheader = new QPlainTextEdit(this);
  txtheader->setObjectName(QStringLiteral("txtheader"));
  txtheader->setReadOnly(true);
  txtheader->setFont(QFont(kGothicFamily));
  txtheader->setLineWrapMode(QPlainTextEdit::NoWrap);
  cmdoffer = new QPushButton(this);
  cmdoffer->setObjectName(QStringLiteral("cmdoffer"));
  cmdoffer->hide();
  cmdsend = new QPushButton(QStringLiteral("送信"), this);
  cmdsend->setObjectName(QStringLiteral("cmdsend"));
  cmdsend->setEnabled(false);
  cmdclose = new QPushButton(QStringLiteral("閉じる"), this);
  cmdclose->setObjectName(QStringLiteral("cmdclose"));

  auto* search = new QHBoxLayout;
  search->addWidget(new QLabel(QStringLiteral("検索"), this));
  search->addWidget(txtsearch, 1);
  search->addWidget(cmdfind);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdoffer);
  buttons->addStretch(1);
  buttons->addWidget(cmdsend);
  buttons->addWidget(cmdclose);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblfile);
  layout->addLayout(search);
  layout->addWidget(lstblocks, 1);
  layout->addWidget(new QLabel(QStringLiteral("再開プログラムの先頭（このあとにブロックから先が続きます）"), this));
  layout->addWidget(txtheader, 1);
  layout->addLayout(buttons);
  // Room for a whole header (some twenty blocks) and as many blocks of the program.
  resize(800, 860);

  connect(lstblocks->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { showChosen(current.isValid() ? current.row() : -1); });
  const auto find = [this] {
    if (!findNext(txtsearch->text())) QApplication::beep();
  };
  connect(txtsearch, &QLineEdit::returnPressed, this, find);
  connect(cmdfind, &QPushButton::clicked, this, find);
  connect(cmdoffer, &QPushButton::clicked, this, [this] { chooseBlock(offered_); });
  connect(cmdsend, &QPushButton::clicked, this, &QDialog::accept);
  connect(cmdclose, &QPushButton::clicked, this, &QDialog::reject);
  // Enter in the search box finds; it must not send.
  cmdsend->setAutoDefault(false);
  cmdclose->setAutoDefault(false);
  cmdfind->setAutoDefault(false);
  cmdoffer->setAutoDefault(false);
  txtheader->setPlainText(QStringLiteral("再開するブロックを選んでください"));
}

frmRestart::~frmRestart() = default;

std::int64_t frmRestart::currentOrdinal() const {
  const QModelIndex current = lstblocks->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void frmRestart::chooseBlock(std::int64_t ordinal) {
  if (ordinal < 0 || ordinal >= static_cast<std::int64_t>(records_.blocks.size())) return;
  const QModelIndex index = model_->index(static_cast<int>(ordinal), 0);
  lstblocks->setCurrentIndex(index);
  lstblocks->selectRow(static_cast<int>(ordinal));
  lstblocks->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

bool frmRestart::findNext(const QString& text) {
  const QString wanted = text.trimmed();
  if (wanted.isEmpty()) return false;
  const auto& blocks = records_.blocks;
  const std::int64_t count = static_cast<std::int64_t>(blocks.size());
  // N500, line:120 and tool:3 name a block as the command line does; anything else is a text.
  QString ignored;
  const std::optional<BlockSelector> selector = BlockSelector::parse(wanted, &ignored);
  const bool byText = !selector || selector->kind() == BlockSelector::Kind::Text;
  const QString needle = selector && selector->kind() == BlockSelector::Kind::Text ? wanted.mid(5) : wanted;
  const std::int64_t from = currentOrdinal();
  for (std::int64_t step = 1; step <= count; ++step) {
    const std::int64_t k = (from + step) % count;
    const BlockRecord& r = blocks[static_cast<std::size_t>(k)];
    bool hit = false;
    if (byText) {
      hit = model_->blockText(static_cast<std::size_t>(k)).contains(needle, Qt::CaseInsensitive);
    } else if (selector->kind() == BlockSelector::Kind::Number) {
      hit = r.has(Address::N) && r.n == selector->number();
    } else if (selector->kind() == BlockSelector::Kind::Line) {
      hit = static_cast<double>(r.place.line) == selector->number();
    } else {
      hit = r.told && !r.passedOver && static_cast<double>(r.toolChanges) == selector->number();
      // The first block after that change, not any later one.
      hit = hit && (k == 0 || blocks[static_cast<std::size_t>(k - 1)].toolChanges != r.toolChanges);
    }
    if (hit) {
      chooseBlock(k);
      return true;
    }
  }
  return false;
}

void frmRestart::showChosen(std::int64_t ordinal) {
  restart_.reset();
  offered_ = -1;
  cmdoffer->hide();
  cmdsend->setEnabled(false);
  if (ordinal < 0) {
    txtheader->setPlainText(QStringLiteral("再開するブロックを選んでください"));
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  RestartAt at;
  at.ordinal = ordinal;
  RestartProgram restart = buildRestartProgram(source_.bytes, source_.displayName, at, machine_, options_);
  QApplication::restoreOverrideCursor();
  if (!restart.ok) {
    txtheader->setPlainText(QStringLiteral("この位置からは再開できません:\n") + restart.reason);
    if (restart.offer) {
      offered_ = restart.offer->ordinal;
      cmdoffer->setText(restart.offer->describe() + QStringLiteral(" へ"));
      cmdoffer->show();
    }
    return;
  }
  // The header in full, then the block itself as it goes.
  qsizetype blockEnd = restart.header.size();
  while (blockEnd < restart.text.size() && restart.text[blockEnd] != '\n' && restart.text[blockEnd] != '\r') ++blockEnd;
  QString shown = decodeNcText(QByteArrayView(restart.text).first(blockEnd));
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  txtheader->setPlainText(shown + QLatin1Char('\n') +
                          QStringLiteral("（%1 から、プログラムの %2 分から）").arg(restart.block.describe(), fixed(restart.minutes, 2)));
  restart_ = std::move(restart);
  cmdsend->setEnabled(true);
}

}  // namespace korvane
