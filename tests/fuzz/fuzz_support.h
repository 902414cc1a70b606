#pragma once
// What the fuzz targets share: a private folder for the files they write, and a stop that
// libFuzzer reports as a crash with the input that caused it.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdio>
#include <cstdlib>

namespace korvane::fuzz {

inline const QString& folder() {
  static const QString path = [] {
    const QString p = QDir::temp().filePath(QStringLiteral("korvane-fuzz-%1").arg(QCoreApplication::applicationPid()));
    QDir().mkpath(p);
    return p;
  }();
  return path;
}

inline QString write(const QString& name, const QByteArray& bytes) {
  const QString path = QDir(folder()).filePath(name);
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
  return path;
}

[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "korvane fuzz: %s\n", what);
  std::abort();
}

}  // namespace korvane::fuzz
