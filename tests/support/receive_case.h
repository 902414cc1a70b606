#pragma once
// A receive case on disk: a folder under tests/data/receive holding
//   case.txt     method=0|1, filter=<file filter>, profile fields (name=value), expect_outcome=,
//                expect_status=<last text of status panel 1>, expect_sent=<hex bytes the PC sends>,
//                abort=1 (the operator aborts once the whole stream has been taken in)
//   stream.hex   what the machine sends, in hex; a line "--" starts a new chunk; or
//   stream.txt   the same as text, put into the profile's tape code byte by byte
//   expected/    every file the reception must leave in the target folder, byte for byte
//                (one-file receptions write out.nc)
// A new case is a new folder.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include "settings/settings_types.h"

namespace korvane::test {

struct ReceiveCase {
  QString name;
  QString folder;
  QMap<QString, QString> fields;
  int method = 0;
  QString filter = QStringLiteral("*.nc");
  QString expectOutcome = QStringLiteral("Completed");
  QString expectStatus;
  QByteArray expectSent;
  bool abort = false;
  QList<QByteArray> chunks;
  QMap<QString, QByteArray> expectedFiles;
};

QList<ReceiveCase> loadReceiveCases();

}  // namespace korvane::test
