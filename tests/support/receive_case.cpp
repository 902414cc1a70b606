#include "support/receive_case.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "support/send_case.h"
#include "transfer/tape_code.h"

namespace korvane::test {

namespace {

QByteArray readBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

QList<ReceiveCase> loadReceiveCases() {
  QList<ReceiveCase> cases;
  const QDir root(QStringLiteral(KORVANE_TEST_DATA_DIR "/receive"));
  for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
    ReceiveCase c;
    c.name = name;
    c.folder = root.filePath(name);
    const QDir dir(c.folder);
    SendCase profileFields;
    for (const auto& [key, value] : readCaseFields(dir.filePath("case.txt"))) {
      if (key == "method") c.method = value.toInt();
      else if (key == "filter") c.filter = value.trimmed();
      else if (key == "expect_outcome") c.expectOutcome = value.trimmed();
      else if (key == "expect_status") c.expectStatus = value;
      else if (key == "expect_sent") c.expectSent = parseHex(value);
      else if (key == "abort") c.abort = value.trimmed() == "1";
      else c.fields.insert(key, value.trimmed());
    }
    profileFields.fields = c.fields;
    PortProfile profile;
    profileFields.applyTo(profile);
    if (dir.exists("stream.hex")) {
      for (const QString& chunk : QString::fromUtf8(readBytes(dir.filePath("stream.hex"))).split("\n--\n")) {
        c.chunks << parseHex(chunk);
      }
    } else {
      QByteArray bytes;
      for (QChar ch : QString::fromUtf8(readBytes(dir.filePath("stream.txt")))) {
        const auto b = convertSendCharacter(ch, profile);
        if (!b) ADD_FAILURE() << name.toStdString() << ": no tape code for " << int(ch.unicode());
        else bytes.append(static_cast<char>(*b));
      }
      c.chunks << bytes;
    }
    const QDir expected(dir.filePath("expected"));
    for (const QString& f : expected.entryList(QDir::Files, QDir::Name)) c.expectedFiles.insert(f, readBytes(expected.filePath(f)));
    cases << c;
  }
  return cases;
}

}  // namespace korvane::test
