#include "support/cp932_iconv.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

namespace korvane::test {

namespace {

QByteArray runIconv(const QStringList& args, const QByteArray& input) {
  QProcess iconv;
  iconv.start(QStringLiteral("iconv"), args);
  if (!iconv.waitForStarted()) {
    ADD_FAILURE() << "iconv did not start";
    return {};
  }
  iconv.write(input);
  iconv.closeWriteChannel();
  iconv.waitForFinished();
  if (iconv.exitStatus() != QProcess::NormalExit || iconv.exitCode() != 0) {
    ADD_FAILURE() << "iconv " << args.join(' ').toStdString() << " failed: " << iconv.readAllStandardError().toStdString();
  }
  return iconv.readAllStandardOutput();
}

}  // namespace

QString iconvDecodeCp932(const QByteArray& bytes) {
  return QString::fromUtf8(runIconv({QStringLiteral("-f"), QStringLiteral("CP932"), QStringLiteral("-t"), QStringLiteral("UTF-8")}, bytes));
}

QByteArray iconvEncodeCp932(const QString& text) {
  return runIconv({QStringLiteral("-f"), QStringLiteral("UTF-8"), QStringLiteral("-t"), QStringLiteral("CP932")}, text.toUtf8());
}

QByteArray readFileBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

bool writeFileBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QList<IniSectionText> parseIniText(const QString& text) {
  QList<IniSectionText> sections;
  for (QString line : text.split(QLatin1Char('\n'))) {
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';'))) continue;
    if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
      sections.append(IniSectionText{trimmed.mid(1, trimmed.size() - 2), {}});
      continue;
    }
    if (sections.isEmpty()) sections.append(IniSectionText{});
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0) continue;
    sections.last().keys.append({line.left(eq), line.mid(eq + 1)});
  }
  return sections;
}

QString iniValue(const QList<IniSectionText>& sections, const QString& section, const QString& key) {
  for (const IniSectionText& s : sections) {
    if (s.name != section) continue;
    for (const auto& [k, v] : s.keys) {
      if (k == key) return v.isNull() ? QStringLiteral("") : v;
    }
  }
  return {};
}

QList<QByteArray> crlfLines(const QByteArray& bytes) {
  QList<QByteArray> lines;
  qsizetype from = 0;
  while (from < bytes.size()) {
    const qsizetype lf = bytes.indexOf('\n', from);
    if (lf < 0) {
      ADD_FAILURE() << "last line has no line break: " << bytes.mid(from).toHex().toStdString();
      lines.append(bytes.mid(from));
      break;
    }
    QByteArray line = bytes.mid(from, lf - from);
    if (!line.endsWith('\r')) ADD_FAILURE() << "bare LF after line " << lines.size() + 1;
    else line.chop(1);
    if (line.contains('\r')) ADD_FAILURE() << "bare CR in line " << lines.size() + 1;
    lines.append(line);
    from = lf + 1;
  }
  return lines;
}

}  // namespace korvane::test
