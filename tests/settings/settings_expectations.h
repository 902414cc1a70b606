#pragma once
// What a settings file holds after "設定保存" from a fresh start, written out key by key from the
// table of keys and defaults, so the tests compare the store's output with an independent list.

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

namespace korvane::test {

using KeyValues = QList<std::pair<QString, QString>>;

// The keys of a profile section in file order, with the default texts of slot n.
inline KeyValues defaultProfileKeys(int slot) {
  return {
      {QStringLiteral("ｽﾋﾟｰﾄﾞ"), QStringLiteral("9600")},
      {QStringLiteral("ﾊﾟﾘﾃｨ"), QStringLiteral("N")},
      {QStringLiteral("ﾃﾞｰﾀ長"), QStringLiteral("8")},
      {QStringLiteral("ｽﾄｯﾌﾟﾋﾞｯﾄ"), QStringLiteral("2")},
      {QStringLiteral("ﾊﾝﾄﾞｼｪｲｸ"), QStringLiteral("3")},
      {QStringLiteral("ｺｰﾄﾞ"), QStringLiteral("0")},
      {QStringLiteral("ﾌｨｰﾄﾞ付加"), QStringLiteral("0")},
      {QStringLiteral("ﾌｨｰﾄﾞ長"), QStringLiteral("0")},
      {QStringLiteral("ﾌｨｰﾄﾞ長2"), QStringLiteral("0")},
      {QStringLiteral("装置名"), QStringLiteral("No.") + QString::number(slot)},
      {QStringLiteral("EOB"), QStringLiteral("0")},
      {QStringLiteral("DCDDSR"), QStringLiteral("1")},
      {QStringLiteral("DC1"), QStringLiteral("0")},
      {QStringLiteral("DC2,4"), QStringLiteral("0")},
      {QStringLiteral("Wait"), QStringLiteral("0")},
      {QStringLiteral("Waittime"), QStringLiteral("0")},
      {QStringLiteral("StopCode"), QStringLiteral("0")},
      {QStringLiteral("start_cr"), QStringLiteral("0")},
      {QStringLiteral("ﾎﾟｰﾄ"), QStringLiteral("1")},
      {QStringLiteral("早送り速度"), QStringLiteral("5000")},
      {QStringLiteral("ｻｰﾋﾞｽ"), QStringLiteral("0")},
      {QStringLiteral("ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ"), QStringLiteral("")},
      {QStringLiteral("受信ﾌｫﾙﾀﾞ"), QStringLiteral("")},
      {QStringLiteral("機械種類"), QStringLiteral("0")},
      {QStringLiteral("最高回転数"), QStringLiteral("4000")},
      {QStringLiteral("工具交換時間"), QStringLiteral("0")},
      {QStringLiteral("小数点入力"), QStringLiteral("0")},
      {QStringLiteral("途中再開工具交換"), QStringLiteral("1")},
  };
}

// The eight application keys "設定保存" writes, in order, with the fresh-start values; the
// folder default is the working directory, so the caller supplies it.
inline KeyValues defaultAppKeys(const QString& folder) {
  return {
      {QStringLiteral("ｴﾃﾞｨﾀ"), QStringLiteral("xdg-open")},
      {QStringLiteral("ﾌｫﾙﾀﾞ"), folder},
      {QStringLiteral("ﾌｨﾙﾀ"), QStringLiteral("*.nc")},
      {QStringLiteral("shutdown"), QStringLiteral("0")},
      {QStringLiteral("mailsend"), QStringLiteral("0")},
      {QStringLiteral("adress"), QStringLiteral("")},
      {QStringLiteral("加工時間"), QStringLiteral("0")},
      {QStringLiteral("ﾋﾞｭｰﾜ"), QStringLiteral("")},
  };
}

// The whole fresh file as text lines: [COM1]..[COM10] and [参照], no blank lines.
inline QList<QString> defaultSavedLines(const QString& folder) {
  QList<QString> lines;
  for (int n = 1; n <= 10; ++n) {
    lines << QStringLiteral("[COM%1]").arg(n);
    for (const auto& [key, value] : defaultProfileKeys(n)) lines << key + QLatin1Char('=') + value;
  }
  lines << QStringLiteral("[参照]");
  for (const auto& [key, value] : defaultAppKeys(folder)) lines << key + QLatin1Char('=') + value;
  return lines;
}

// Sets or removes an environment variable for the life of the guard.
class EnvGuard {
 public:
  EnvGuard(const char* name, std::optional<QByteArray> value) : name_(name) {
    if (qEnvironmentVariableIsSet(name)) old_ = qgetenv(name);
    if (value) {
      qputenv(name, *value);
    } else {
      qunsetenv(name);
    }
  }
  ~EnvGuard() {
    if (old_) {
      qputenv(name_, *old_);
    } else {
      qunsetenv(name_);
    }
  }
  EnvGuard(const EnvGuard&) = delete;
  EnvGuard& operator=(const EnvGuard&) = delete;

 private:
  const char* name_;
  std::optional<QByteArray> old_;
};

}  // namespace korvane::test
