#pragma once
// Files a test writes into its temporary folder and reads back.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

namespace korvane::test {

// Writes `bytes` as the file `name` in `folder` and returns its path; a failed write fails the test.
inline QString writeTestFile(const QString& folder, const QString& name, const QByteArray& bytes) {
  const QString path = QDir(folder).filePath(name);
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
  EXPECT_EQ(f.write(bytes), bytes.size()) << path.toStdString();
  return path;
}

// The bytes of a file, or "<missing>" when it cannot be read, so that a file that should exist
// and does not never compares equal to expected contents.
inline QByteArray readTestFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

}  // namespace korvane::test
