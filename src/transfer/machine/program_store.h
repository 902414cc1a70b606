#pragma once
// Where the simulated machine keeps what it read: one file per program (O0001.nc, or
// prog-<n>.nc without a program number; "-incomplete" before the extension when the program
// was cut off), and the raw bytes of each transmission (raw-<n>.bin) as they came off the line.

#include <QByteArray>
#include <QFile>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "transfer/machine/tape_decoder.h"

namespace korvane {

class ProgramStore {
 public:
  explicit ProgramStore(QString folder) : folder_(std::move(folder)) {}

  const QString& folder() const { return folder_; }
  bool prepare(QString* error);  // creates the folder
  // Writes the program with LF line ends; a name already written this session gets "-2", "-3"...
  // (files left by earlier sessions are replaced). The path written, or nothing on failure.
  std::optional<QString> store(const ReceivedProgram& program, QString* error);

 private:
  QString folder_;
  QSet<QString> used_;
};

// Splits the bytes off the line into transmissions: DC2 starts a new one when the current one
// already holds bytes, DC4 ends one (both kept in the transmission they delimit). Without DC2
// and DC4 the whole session is one transmission.
class RawCapture {
 public:
  using Sink = std::function<void(int index, const QByteArray& bytes)>;
  explicit RawCapture(Sink sink) : sink_(std::move(sink)) {}

  void feed(const QByteArray& bytes);
  int transmissions() const { return filled_ ? index_ : index_ - 1; }

 private:
  Sink sink_;
  int index_ = 1;
  bool filled_ = false;
};

// Appends each transmission to raw-<n>.bin in a folder, flushed at once so that a reader of the
// file sees every byte that has arrived.
class RawFileWriter {
 public:
  explicit RawFileWriter(QString folder) : folder_(std::move(folder)) {}
  void append(int index, const QByteArray& bytes);
  QString pathOf(int index) const;

 private:
  QString folder_;
  int openIndex_ = 0;
  std::unique_ptr<QFile> file_;
};

}  // namespace korvane
