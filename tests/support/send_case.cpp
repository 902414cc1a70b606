#include "support/send_case.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "settings/ini_file.h"

namespace korvane::test {

namespace {

QString readText(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll());
}

}  // namespace

QByteArray parseHex(const QString& text) {
  QByteArray bytes;
  for (QString line : text.split(QLatin1Char('\n'))) {
    line = line.section(QLatin1Char('#'), 0, 0);
    for (const QString& word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
      bool ok = false;
      const uint value = word.trimmed().toUInt(&ok, 16);
      if (!ok || value > 0xFF) {
        ADD_FAILURE() << "bad hex byte: " << word.toStdString();
        continue;
      }
      bytes.append(static_cast<char>(value));
    }
  }
  return bytes;
}

QString toHex(const QByteArray& bytes) {
  QString out;
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    out += QStringLiteral("%1").arg(static_cast<uchar>(bytes[i]), 2, 16, QLatin1Char('0')).toUpper();
    out += (i % 16 == 15) ? QLatin1Char('\n') : QLatin1Char(' ');
  }
  return out.trimmed() + QLatin1Char('\n');
}

void SendCase::applyTo(PortProfile& p) const {
  for (auto it = fields.begin(); it != fields.end(); ++it) {
    const QString& k = it.key();
    const QString& v = it.value();
    const double n = leadingNumber(v);
    if (k == "baudRate") p.baudRate = v;
    else if (k == "parity") p.parity = v;
    else if (k == "dataBits") p.dataBits = v;
    else if (k == "stopBits") p.stopBits = v;
    else if (k == "handshake") p.handshake = n;
    else if (k == "tapeCode") p.tapeCode = n;
    else if (k == "feedEnabled") p.feedEnabled = n;
    else if (k == "feedLength") p.feedLength = n;
    else if (k == "feedLength2") p.feedLength2 = n;
    else if (k == "eobMode") p.eobMode = n;
    else if (k == "checkDcdDsr") p.checkDcdDsr = n;
    else if (k == "useDc1") p.useDc1 = n;
    else if (k == "useDc2Dc4") p.useDc2Dc4 = n;
    else if (k == "waitEnabled") p.waitEnabled = n;
    else if (k == "waitTime") p.waitTime = n;
    else if (k == "ignorePercent") p.ignorePercent = n;
    else if (k == "startCr") p.startCr = n;
    else ADD_FAILURE() << "unknown profile field " << k.toStdString();
  }
}

QList<QPair<QString, QString>> readCaseFields(const QString& path) {
  QList<QPair<QString, QString>> fields;
  for (const QString& line : readText(path).split(QLatin1Char('\n'))) {
    if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
    fields.append({line.section(QLatin1Char('='), 0, 0).trimmed(), line.section(QLatin1Char('='), 1)});
  }
  return fields;
}

QList<SendCase> loadSendCases() {
  QList<SendCase> cases;
  const QDir root(QStringLiteral(KORVANE_TEST_DATA_DIR "/send"));
  for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
    SendCase c;
    c.name = name;
    c.folder = root.filePath(name);
    const QDir dir(c.folder);
    for (const auto& [key, value] : readCaseFields(dir.filePath(QStringLiteral("case.txt")))) {
      if (key == "expect_outcome") c.expectOutcome = value.trimmed();
      else if (key == "expect_message") c.expectMessage = value;
      else if (key == "machine_sends") c.machineSends = parseHex(value);
      else if (key == "abort_after_bytes") c.abortAfterBytes = value.toLongLong();
      else c.fields.insert(key, value.trimmed());
    }
    const QStringList files = dir.entryList({QStringLiteral("*.nc"), QStringLiteral("*.missing")}, QDir::Files, QDir::Name);
    for (const QString& f : files) {
      c.rows << (f.endsWith(QLatin1String(".missing")) ? dir.filePath(QStringLiteral("does-not-exist-") + f)
                                                       : dir.filePath(f));
    }
    c.expectedWire = parseHex(readText(dir.filePath(QStringLiteral("wire.hex"))));
    cases << c;
  }
  return cases;
}

void writeGoldenIfAsked(const SendCase& c, const QByteArray& actual) {
  if (qEnvironmentVariableIsEmpty("KORVANE_UPDATE_GOLDEN")) return;
  QFile f(QDir(c.folder).filePath(QStringLiteral("wire.hex")));
  if (f.open(QIODevice::WriteOnly)) f.write(toHex(actual).toUtf8());
}

}  // namespace korvane::test
