#pragma once
// Reading settings files in tests without the code under test: the system's iconv converts
// between CP932 and Unicode, and a small parser lists sections and keys as a reader would see them.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

namespace korvane::test {

// CP932 bytes to text through `iconv -f CP932`; records a test failure when iconv refuses.
QString iconvDecodeCp932(const QByteArray& bytes);
// Text to CP932 bytes through `iconv -t CP932`; records a test failure when iconv refuses.
QByteArray iconvEncodeCp932(const QString& text);

QByteArray readFileBytes(const QString& path);
bool writeFileBytes(const QString& path, const QByteArray& bytes);

struct IniSectionText {
  QString name;
  QList<std::pair<QString, QString>> keys;  // key=value lines in file order, value as written
};

// Sections of a decoded settings file; blank lines and ";" comments are skipped. Keys before
// any section go into a section with an empty name.
QList<IniSectionText> parseIniText(const QString& text);

// The value of key in section (exact names), or a null QString when missing.
QString iniValue(const QList<IniSectionText>& sections, const QString& section, const QString& key);

// The lines of a file that must end every line with CR LF; records a failure for a bare LF,
// a bare CR or a missing final line break.
QList<QByteArray> crlfLines(const QByteArray& bytes);

}  // namespace korvane::test
