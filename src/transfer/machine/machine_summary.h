#pragma once
// The JSON report the simulated machine prints when it ends: what it read or punched and how
// well the sender behaved on the line.

#include <QJsonObject>
#include <QStringList>

#include "transfer/machine/tape_punch.h"
#include "transfer/machine/tape_reader_model.h"

namespace korvane {

struct StoredProgram {
  QString file;  // path as written
  QString number;
  int blocks = 0;
  bool complete = false;
};

struct ReaderSessionInfo {
  QList<StoredProgram> stored;
  int transmissions = 0;  // raw captures written
  int startRequests = 0;  // DC1s written to ask for data (--request-start)
};

QJsonObject readerSummary(const TapeReaderModel& model, const ReaderSessionInfo& session);

struct PunchSessionInfo {
  TapeCode code = TapeCode::Iso;
  QString frame;
  int baud = 0;
  double characterRate = 0;
  int programs = 0;
  int dropped = 0;
  qint64 streamBytes = 0;
};

QJsonObject punchSummary(const TapePunch& punch, const PunchSessionInfo& session);

QString tapeCodeName(TapeCode code);  // "iso" or "eia"

}  // namespace korvane
