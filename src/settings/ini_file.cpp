#include "settings/ini_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace korvane {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

QByteArray trimBlanks(const QByteArray& bytes) {
  qsizetype from = 0;
  qsizetype to = bytes.size();
  while (from < to && isBlank(bytes[from])) ++from;
  while (to > from && isBlank(bytes[to - 1])) --to;
  return bytes.mid(from, to - from);
}

bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Case folding of ASCII letters only: the trail byte of a double-byte character may look like
// a letter and must not be folded.
bool sameName(const QByteArray& a, const QByteArray& b) {
  if (a.size() != b.size()) return false;
  bool trail = false;
  for (qsizetype i = 0; i < a.size(); ++i) {
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char y = static_cast<unsigned char>(b[i]);
    if (trail) {
      if (x != y) return false;
      trail = false;
      continue;
    }
    if (isLeadByte(x)) {
      if (x != y) return false;
      trail = true;
      continue;
    }
    const auto fold = [](unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c; };
    if (fold(x) != fold(y)) return false;
  }
  return true;
}

// "[name]" with optional blanks around; returns the name or an empty optional.
std::optional<QByteArray> sectionName(const QByteArray& line) {
  const QByteArray t = trimBlanks(line);
  if (!t.startsWith('[')) return std::nullopt;
  const qsizetype close = t.indexOf(']');
  if (close < 0) return std::nullopt;
  return trimBlanks(t.mid(1, close - 1));
}

std::optional<QByteArray> keyName(const QByteArray& line) {
  const qsizetype eq = line.indexOf('=');
  if (eq < 0) return std::nullopt;
  return trimBlanks(line.left(eq));
}

// Whether a number text (sign, digits, point, digits, exponent) is at least 1 in magnitude,
// judged by the decimal exponent of its first significant digit.
bool beyondOne(const std::string& number) {
  long long integerDigits = 0;  // digits before the point, from the first non-zero one
  long long fractionPlace = 0;  // -k for the k-th fraction digit, up to the first non-zero one
  bool found = false;
  bool afterPoint = false;
  size_t i = 0;
  for (; i < number.size() && number[i] != 'e' && number[i] != 'E'; ++i) {
    const char c = number[i];
    if (c == '.') {
      afterPoint = true;
    } else if (c >= '0' && c <= '9') {
      if (!afterPoint) {
        if (found || c != '0') ++integerDigits;
        found = found || c != '0';
      } else if (!found) {
        --fractionPlace;
        found = c != '0';
      }
    }
  }
  if (!found) return false;
  long long exponent = 0;
  if (i < number.size()) {
    const char* from = number.data() + i + 1;
    const char* to = number.data() + number.size();
    if (from < to && *from == '+') ++from;
    if (std::from_chars(from, to, exponent).ec == std::errc::result_out_of_range) {
      exponent = (from < to && *from == '-') ? -1000000 : 1000000;
    }
  }
  const long long place = integerDigits > 0 ? integerDigits - 1 : fractionPlace;
  return place + exponent >= 0;
}

}  // namespace

QByteArray truncateCp932(const QByteArray& bytes, int maxBytes) {
  if (bytes.size() <= maxBytes) return bytes;
  int end = 0;
  while (end < maxBytes) {
    const int width = isLeadByte(static_cast<unsigned char>(bytes[end])) ? 2 : 1;
    if (end + width > maxBytes) break;
    end += width;
  }
  return bytes.left(end);
}

int utf8SequenceLength(const uchar* p, qsizetype available) {
  const uchar b = p[0];
  int length = 0;
  if (b >= 0xC2 && b <= 0xDF) length = 2;
  else if (b >= 0xE0 && b <= 0xEF) length = 3;
  else if (b >= 0xF0 && b <= 0xF4) length = 4;
  if (length == 0 || length > available) return 0;
  for (int i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
  }
  return length;
}

bool isCp932DoubleByte(const uchar* p, qsizetype available) {
  if (available < 2) return false;
  const bool lead = (p[0] >= 0x81 && p[0] <= 0x9F) || (p[0] >= 0xE0 && p[0] <= 0xFC);
  const bool trail = p[1] >= 0x40 && p[1] <= 0xFC && p[1] != 0x7F;
  return lead && trail;
}

double leadingNumber(const QString& text) {
  const QByteArray s = text.toLatin1();
  qsizetype i = 0;
  while (i < s.size() && isBlank(s[i])) ++i;
  const qsizetype start = i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  const qsizetype digitsStart = i;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
  bool anyDigit = i > digitsStart;
  if (i < s.size() && s[i] == '.') {
    const qsizetype frac = ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
    anyDigit = anyDigit || i > frac;
  }
  if (!anyDigit) return 0;
  qsizetype end = i;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    qsizetype j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    const qsizetype expDigits = j;
    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
    if (j > expDigits) end = j;
  }
  std::string number(s.constData() + start, static_cast<size_t>(end - start));
  if (!number.empty() && number[0] == '+') number.erase(0, 1);
  double value = 0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // from_chars reports overflow and underflow alike and leaves the value alone: a text too large
    // reads as the largest number there is, one too small as 0. Never infinity, which has no
    // text that reads back as itself.
    if (!beyondOne(number)) return 0;
    const double largest = std::numeric_limits<double>::max();
    return number[0] == '-' ? -largest : largest;
  }
  if (result.ec != std::errc()) return 0;
  return value;
}

QString numberText(double value) {
  if (value == 0 || std::isnan(value)) return QStringLiteral("0");  // never "-0" or "nan"
  // Infinity is written as the largest number, which reads back as itself ("inf" would read as 0).
  const double largest = std::numeric_limits<double>::max();
  value = std::clamp(value, -largest, largest);
  // Positional digits ("100000", "0.0001") as people and other readers of the file expect; the
  // exponent form only where positional text would grow long.
  const double magnitude = std::fabs(value);
  if (magnitude >= 1e-4 && magnitude < 1e15) return QString::number(value, 'f', QLocale::FloatingPointShortest);
  return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

IniFile IniFile::load(const QString& path, QString* error) {
  IniFile ini;
  if (error) error->clear();
  const QFileInfo info(path);
  if (!info.exists() && !info.isSymLink()) return ini;
  QFile file(path);
  if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
    if (error) *error = info.isDir() ? QStringLiteral("フォルダです") : file.errorString();
    return ini;
  }
  QByteArray data = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    if (error) *error = file.errorString();
    return IniFile{};
  }
  if (data.isEmpty()) return ini;
  const bool endsWithBreak = data.endsWith('\n');
  ini.lines_ = data.split('\n');
  if (endsWithBreak) ini.lines_.removeLast();
  // A line end of CR CR LF (a file passed through a tool that added a CR of its own) is still
  // one line end: every CR before the LF belongs to it, never to the value.
  for (QByteArray& line : ini.lines_) {
    while (line.endsWith('\r')) line.chop(1);
  }
  return ini;
}

int IniFile::findSection(const QByteArray& section) const {
  for (int i = 0; i < lines_.size(); ++i) {
    const auto name = sectionName(lines_[i]);
    if (name && sameName(*name, section)) return i;
  }
  return -1;
}

int IniFile::sectionEnd(int sectionLine) const {
  int i = sectionLine + 1;
  while (i < lines_.size() && !sectionName(lines_[i])) ++i;
  return i;
}

int IniFile::findKey(int sectionLine, const QByteArray& key) const {
  const int end = sectionEnd(sectionLine);
  for (int i = sectionLine + 1; i < end; ++i) {
    const auto name = keyName(lines_[i]);
    if (name && sameName(*name, key)) return i;
  }
  return -1;
}

std::optional<QString> IniFile::value(const QString& section, const QString& key) const {
  const int s = findSection(encodeCp932(section));
  if (s < 0) return std::nullopt;
  const int k = findKey(s, encodeCp932(key));
  if (k < 0) return std::nullopt;
  const QByteArray& line = lines_[k];
  const QByteArray raw = trimBlanks(line.mid(line.indexOf('=') + 1));
  // Trimmed again after the cut: a blank at the cut would be lost by the next save and read,
  // so the value would not read back as it was saved.
  return decodeCp932(trimBlanks(truncateCp932(raw, kMaxValueBytes)));
}

bool IniFile::setValue(const QString& section, const QString& key, const QString& value, QString* error) {
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    return false;
  };
  if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'))) {
    return fail(QStringLiteral("[%1] %2: 値に改行を含めることはできません").arg(section, key));
  }
  bool ok = false;
  const QByteArray sectionBytes = encodeCp932(section);
  const QByteArray keyBytes = encodeCp932(key);
  const QByteArray valueBytes = encodeCp932(value, &ok);
  if (!ok) return fail(QStringLiteral("[%1] %2: Shift-JIS で表せない文字があります: %3").arg(section, key, value));

  const QByteArray line = keyBytes + '=' + valueBytes;
  const int s = findSection(sectionBytes);
  if (s < 0) {
    lines_.append('[' + sectionBytes + ']');
    lines_.append(line);
    return true;
  }
  const int k = findKey(s, keyBytes);
  if (k >= 0) {
    lines_[k] = line;
    return true;
  }
  // New keys go after the section's last non-blank line, so blank separators stay between sections.
  int insertAt = sectionEnd(s);
  while (insertAt > s + 1 && trimBlanks(lines_[insertAt - 1]).isEmpty()) --insertAt;
  lines_.insert(insertAt, line);
  return true;
}

bool IniFile::save(const QString& path, QString* error) const {
  const QFileInfo info(path);
  if (!QDir().mkpath(info.absolutePath())) {
    if (error) *error = QStringLiteral("フォルダを作成できません: %1").arg(info.absolutePath());
    return false;
  }
  QByteArray data;
  for (const QByteArray& line : lines_) data += line + "\r\n";
  // Unbuffered, so a short write (disk full, file size limit) shows in write()'s count: the
  // buffered flush inside commit() takes a partial write for success and renames a cut file.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    if (error) *error = QStringLiteral("%1\r\n%2").arg(file.errorString(), path);
    return false;
  }
  if (file.write(data) != data.size()) {
    const QString why = qt_error_string(errno);
    file.cancelWriting();
    if (error) *error = QStringLiteral("%1\r\n%2").arg(why, path);
    return false;
  }
  if (!file.commit()) {
    if (error) *error = QStringLiteral("%1\r\n%2").arg(file.errorString(), path);
    return false;
  }
  return true;
}

}  // namespace korvane
