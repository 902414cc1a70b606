#pragma once
// The blocks of a toolpath as the window lists them: line number, time into the program and the
// block's text, read from the file where the reading found it, a few windows of it at a time
// (a list of millions of rows reads only what is shown).

#include <QAbstractTableModel>
#include <QDateTime>
#include <QString>
#include <array>
#include <memory>

#include "analysis/toolpath.h"

namespace korvane {

class BlockTexts {
 public:
  explicit BlockTexts(const QString& path);

  // The text of the block's line as the file holds it (Shift-JIS read as such); empty when the
  // file cannot be read.
  QString text(const BlockPlace& place);
  // Whether the file is no longer what was read (its size or time changed): the texts shown
  // may not be the blocks drawn.
  bool changed() const;

 private:
  struct Window {
    std::int64_t start = -1;
    QByteArray bytes;
    std::uint64_t used = 0;
  };
  QString path_;
  qint64 size_ = -1;
  QDateTime modified_;
  std::array<Window, 4> windows_;
  std::uint64_t clock_ = 0;
};

class BlockListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { LineColumn, TimeColumn, TextColumn, ColumnCount };

  BlockListModel(std::shared_ptr<const Toolpath> path, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  QString blockText(std::int64_t ordinal) const;
  bool fileChanged() const { return texts_->changed(); }

 private:
  std::shared_ptr<const Toolpath> path_;
  std::unique_ptr<BlockTexts> texts_;
};

}  // namespace korvane
