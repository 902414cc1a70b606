#include "ui/toolpath_blocks.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <limits>

#include "settings/ini_file.h"

namespace korvane {

namespace {
constexpr std::int64_t kWindowBytes = 256 * 1024;
// A line longer than this is shown cut off: a list row has no room for more.
constexpr std::int64_t kLongestShown = 4096;
}  // namespace

BlockTexts::BlockTexts(const QString& path) : path_(path) {
  const QFileInfo info(path);
  size_ = info.size();
  modified_ = info.lastModified();
}

bool BlockTexts::changed() const {
  const QFileInfo info(path_);
  return info.size() != size_ || info.lastModified() != modified_;
}

QString BlockTexts::text(const BlockPlace& place) {
  const std::int64_t length = std::min(place.bytes, kLongestShown);
  Window* chosen = nullptr;
  for (Window& w : windows_) {
    if (w.start >= 0 && place.offset >= w.start && place.offset + length <= w.start + w.bytes.size()) chosen = &w;
  }
  if (chosen == nullptr) {
    // The least recently used window is read again, from a little before the block: a list is
    // scrolled either way.
    chosen = &*std::min_element(windows_.begin(), windows_.end(),
                                [](const Window& a, const Window& b) { return a.used < b.used; });
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const std::int64_t start = std::max<std::int64_t>(0, place.offset - kWindowBytes / 4);
    if (!file.seek(start)) return {};
    chosen->start = start;
    chosen->bytes = file.read(std::max(kWindowBytes, place.offset - start + length));
  }
  chosen->used = ++clock_;
  const std::int64_t from = place.offset - chosen->start;
  if (from < 0 || from > chosen->bytes.size()) return {};
  const QByteArray bytes = chosen->bytes.mid(from, std::min<std::int64_t>(length, chosen->bytes.size() - from));
  QString text = decodeCp932(bytes);
  if (place.bytes > length) text += QStringLiteral(" …");
  return text;
}

BlockListModel::BlockListModel(std::shared_ptr<const Toolpath> path, QObject* parent)
    : QAbstractTableModel(parent), path_(std::move(path)), texts_(std::make_unique<BlockTexts>(path_->path())) {}

int BlockListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return static_cast<int>(std::min<std::int64_t>(path_->blockCount(), std::numeric_limits<int>::max()));
}

int BlockListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QString BlockListModel::blockText(std::int64_t ordinal) const { return texts_->text(path_->block(ordinal).place); }

QVariant BlockListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::TextAlignmentRole && index.column() != TextColumn) {
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  }
  if (role != Qt::DisplayRole) return {};
  const Toolpath::BlockInfo block = path_->block(index.row());
  switch (index.column()) {
    case LineColumn: return QString::number(block.place.line);
    case TimeColumn: return QString::number(block.minutes, 'f', 2);
    case TextColumn: return texts_->text(block.place);
    default: return {};
  }
}

QVariant BlockListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case LineColumn: return QStringLiteral("行");
    case TimeColumn: return QStringLiteral("時間(分)");
    case TextColumn: return QStringLiteral("ブロック");
    default: return {};
  }
}

}  // namespace korvane
