#pragma once
// A private-profile (INI) file kept byte for byte in the Windows ANSI code page of Japan (CP932),
// so a file copied from a Windows PC of the same program reads and writes back unchanged.
// Only the lines that are written change; unknown keys, sections, comments and blank lines stay.

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace korvane {

class IniFile {
 public:
  // The longest value a read returns, in bytes, as the classic profile functions did.
  static constexpr int kMaxValueBytes = 255;

  // Reads the file; a missing file is an empty document. A file that is there but cannot be
  // read (no permission, a folder) is an empty document too, with the reason in error.
  static IniFile load(const QString& path, QString* error = nullptr);

  // The value of key in section with surrounding blanks removed, cut to kMaxValueBytes without
  // splitting a double-byte character, decoded from CP932. Section and key names match without
  // regard to the case of ASCII letters. Empty optional when the section or key is missing.
  std::optional<QString> value(const QString& section, const QString& key) const;

  // Replaces the key's value in place, or adds the key at the end of its section, or the section
  // at the end of the file. Refuses (false, with a reason) a value CP932 cannot hold or one that
  // holds a line break, instead of writing garbage into the file.
  bool setValue(const QString& section, const QString& key, const QString& value, QString* error = nullptr);

  // Writes the whole document with CR LF line ends through a temporary file in the same folder
  // that is renamed over the old one, so a crash mid-write never leaves a truncated file.
  // Creates the folder if needed.
  bool save(const QString& path, QString* error = nullptr) const;

  const QList<QByteArray>& lines() const { return lines_; }

 private:
  int findSection(const QByteArray& section) const;
  int findKey(int sectionLine, const QByteArray& key) const;
  int sectionEnd(int sectionLine) const;

  QList<QByteArray> lines_;
};

// CP932 helpers shared by the settings code and the tests.
QByteArray encodeCp932(const QString& text, bool* ok = nullptr);
QString decodeCp932(const QByteArray& bytes);
// Cuts bytes to at most maxBytes without splitting a CP932 double-byte character.
QByteArray truncateCp932(const QByteArray& bytes, int maxBytes);

// Program files come as UTF-8 or as Shift-JIS from a Japanese Windows PC. The length of a valid
// UTF-8 sequence at p (0 when there is none), and whether p starts a CP932 double-byte character.
int utf8SequenceLength(const uchar* p, qsizetype available);
bool isCp932DoubleByte(const uchar* p, qsizetype available);

// The leading number of a text: blanks skipped, optional sign, digits, optional decimal point
// with digits, optional exponent. A text that does not start with a number reads as 0; one
// beyond the range of a double as the largest double of its sign.
double leadingNumber(const QString& text);
// Shortest decimal text that reads back as the same number: 3 gives "3", one half "0.5".
// Infinity is written as the largest double, NaN as 0.
QString numberText(double value);

}  // namespace korvane
