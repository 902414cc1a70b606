// The DNC conversion on arbitrary list files (the input split at NUL bytes, at most four
// files): it must end, and whatever it writes must consist of records of those files and "%".
#include <QSet>

#include "analysis/dnc_converter.h"
#include "fuzz_support.h"

using namespace korvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QList<QByteArray> parts = bytes.split('\0');
  QStringList files;
  QSet<QByteArray> lines{QByteArrayLiteral("%"), QByteArray()};
  for (qsizetype i = 0; i < std::min<qsizetype>(parts.size(), 4); ++i) {
    files << fuzz::write(QStringLiteral("%1.nc").arg(i), parts[i]);
    // A record ends at CR LF, a lone CR or an LF; the end-of-file mark is dropped.
    QByteArray records = parts[i];
    records.replace("\r\n", "\n").replace('\r', '\n').replace("\x1a", "");
    for (const QByteArray& line : records.split('\n')) lines.insert(line);
  }
  const QString destination = QDir(fuzz::folder()).filePath(QStringLiteral("out.dnc"));
  QFile::remove(destination);
  DncConverter converter;  // without hooks the run goes on despite repeated numbers
  const DncResult result = converter.run(files, destination);
  QFile out(destination);
  if (result.outcome == DncOutcome::Converted && out.open(QIODevice::ReadOnly)) {
    for (const QByteArray& line : out.readAll().split('\n')) {
      if (!lines.contains(QByteArray(line).replace('\r', ""))) fuzz::fail("a line that no list file holds");
    }
  }
  return 0;
}
