#pragma once
// Small helpers shared by the DNC conversion tests.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <optional>

namespace korvane::test {

// Sets an environment variable for the lifetime of the object and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const QString& value) : name_(name) {
    if (qEnvironmentVariableIsSet(name)) old_ = qgetenv(name);
    qputenv(name, QFile::encodeName(value));
  }
  ~ScopedEnv() {
    if (old_) qputenv(name_, *old_);
    else qunsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<QByteArray> old_;
};

inline QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes lines, each ended by CR LF, and returns the path.
inline QString writeLines(const QDir& dir, const QString& name, const QStringList& lines) {
  QFile f(dir.filePath(name));
  if (f.open(QIODevice::WriteOnly)) {
    for (const QString& line : lines) f.write(line.toUtf8() + "\r\n");
  }
  return f.fileName();
}

inline QStringList entriesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace korvane::test
