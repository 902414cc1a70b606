#pragma once
// A send case on disk: a folder under tests/data/send holding
//   case.txt   profile fields (name=value, PortProfile field names), and
//              expect_outcome=Completed|Aborted|Failed, expect_message=<text>,
//              machine_sends=<hex bytes the machine sends once the port is open>,
//              abort_after_bytes=<n> (the operator presses 中断 once n bytes have left)
//   1.nc 2.nc ...  the rows of the list, in name order; a row named N.missing names a file
//                  that does not exist
//   wire.hex   the bytes expected on the line, in hex, blank- and line-separated, # comments
// A new case is a new folder; KORVANE_UPDATE_GOLDEN=1 writes wire.hex from the actual run.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

#include "settings/settings_types.h"

namespace korvane::test {

struct SendCase {
  QString name;
  QString folder;
  QMap<QString, QString> fields;
  QStringList rows;
  QByteArray expectedWire;
  QString expectOutcome = QStringLiteral("Completed");
  QString expectMessage;
  QByteArray machineSends;
  qsizetype abortAfterBytes = -1;

  void applyTo(PortProfile& profile) const;
};

// The name=value lines of a case.txt in order, names trimmed and values as written; blank lines
// and lines starting with # are skipped.
QList<QPair<QString, QString>> readCaseFields(const QString& path);

QList<SendCase> loadSendCases();
QByteArray parseHex(const QString& text);
QString toHex(const QByteArray& bytes);
void writeGoldenIfAsked(const SendCase& c, const QByteArray& actual);

}  // namespace korvane::test
