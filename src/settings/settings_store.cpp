#include "settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <stdexcept>
#include <variant>

#include "settings/ini_file.h"

namespace korvane {

namespace {

using ProfileField = std::variant<QString PortProfile::*, double PortProfile::*>;
using AppField = std::variant<QString AppSettings::*, double AppSettings::*>;

struct ProfileKey {
  const char* key;
  ProfileField field;
};
struct AppKey {
  const char* key;
  AppField field;
};

// File order of a profile section; also the order of loading and saving.
const ProfileKey kProfileKeys[] = {
    {"ｽﾋﾟｰﾄﾞ", &PortProfile::baudRate},
    {"ﾊﾟﾘﾃｨ", &PortProfile::parity},
    {"ﾃﾞｰﾀ長", &PortProfile::dataBits},
    {"ｽﾄｯﾌﾟﾋﾞｯﾄ", &PortProfile::stopBits},
    {"ﾊﾝﾄﾞｼｪｲｸ", &PortProfile::handshake},
    {"ｺｰﾄﾞ", &PortProfile::tapeCode},
    {"ﾌｨｰﾄﾞ付加", &PortProfile::feedEnabled},
    {"ﾌｨｰﾄﾞ長", &PortProfile::feedLength},
    {"ﾌｨｰﾄﾞ長2", &PortProfile::feedLength2},
    {"装置名", &PortProfile::deviceName},
    {"EOB", &PortProfile::eobMode},
    {"DCDDSR", &PortProfile::checkDcdDsr},
    {"DC1", &PortProfile::useDc1},
    {"DC2,4", &PortProfile::useDc2Dc4},
    {"Wait", &PortProfile::waitEnabled},
    {"Waittime", &PortProfile::waitTime},
    {"StopCode", &PortProfile::ignorePercent},
    {"start_cr", &PortProfile::startCr},
    {"ﾎﾟｰﾄ", &PortProfile::portNumber},
    {"早送り速度", &PortProfile::rapidRate},
    {"ｻｰﾋﾞｽ", &PortProfile::serviceEnabled},
    {"ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ", &PortProfile::programFolder},
    {"受信ﾌｫﾙﾀﾞ", &PortProfile::receiveFolder},
    {"機械種類", &PortProfile::machineKind},
    {"最高回転数", &PortProfile::maxSpindleSpeed},
    {"工具交換時間", &PortProfile::toolChangeSeconds},
    {"小数点入力", &PortProfile::decimalPointInput},
    {"途中再開工具交換", &PortProfile::restartToolChange},
};

// Read in this order at start-up; the start slot is read but written only at exit.
const AppKey kAppKeys[] = {
    {"ｴﾃﾞｨﾀ", &AppSettings::editorPath},
    {"ﾌｫﾙﾀﾞ", &AppSettings::dataFolder},
    {"ﾌｨﾙﾀ", &AppSettings::fileFilter},
    {"shutdown", &AppSettings::shutdownAfterSend},
    {"mailsend", &AppSettings::mailAfterSend},
    {"adress", &AppSettings::mailAddress},
    {"加工時間", &AppSettings::showTimeInInfo},
    {"開始ポート", &AppSettings::currentProfile},
    {"ﾋﾞｭｰﾜ", &AppSettings::viewerPath},
};
const AppKey kWindowKeys[] = {
    {"window_width", &AppSettings::windowWidth},
    {"window_height", &AppSettings::windowHeight},
};

QString keyName(const char* key) { return QString::fromUtf8(key); }

// The reading rule of the classic profile functions: a missing key gives the default text, and
// both go through the same trimming and number rules.
QString readText(const IniFile& ini, const QString& section, const char* key, const QString& fallback) {
  return ini.value(section, keyName(key)).value_or(fallback.trimmed());
}

template <typename Record, typename Field>
void readField(const IniFile& ini, const QString& section, const char* key, Record& record, const Field& field) {
  std::visit(
      [&](auto member) {
        using T = std::remove_reference_t<decltype(record.*member)>;
        if constexpr (std::is_same_v<T, QString>) {
          record.*member = readText(ini, section, key, record.*member);
        } else {
          record.*member = leadingNumber(readText(ini, section, key, numberText(record.*member)));
        }
      },
      field);
}

template <typename Record, typename Field>
QString fieldText(const Record& record, const Field& field) {
  return std::visit(
      [&](auto member) {
        using T = std::remove_cvref_t<decltype(record.*member)>;
        if constexpr (std::is_same_v<T, QString>) {
          return record.*member;
        } else {
          return numberText(record.*member);
        }
      },
      field);
}

// Writes each pair; a value that cannot be written is skipped and reported, the rest still go.
bool writeAll(const QString& path, const QList<std::tuple<QString, QString, QString>>& entries, QString* error) {
  QString readError;
  IniFile ini = IniFile::load(path, &readError);
  // Writing over a file that could not be read would throw away every key in it.
  if (!readError.isEmpty()) {
    if (error) *error = QStringLiteral("設定ファイルを読み込めないため書き込みません（%1）\r\n%2").arg(readError, path);
    return false;
  }
  QStringList problems;
  for (const auto& [section, key, text] : entries) {
    QString why;
    if (!ini.setValue(section, key, text, &why)) problems << why;
  }
  QString saveError;
  if (!ini.save(path, &saveError)) problems << saveError;
  if (problems.isEmpty()) return true;
  if (error) *error = problems.join(QStringLiteral("\r\n"));
  return false;
}

}  // namespace

QString profileSection(int slot) { return QStringLiteral("COM%1").arg(slot); }

SettingsStore::SettingsStore(QString iniPath) : iniPath_(std::move(iniPath)) {
  for (int n = 0; n <= kProfileSlots; ++n) profiles_[n].deviceName = QStringLiteral("No.%1").arg(n);
  app_.editorPath = defaultEditor();
  app_.dataFolder = QDir::currentPath();
}

QString SettingsStore::defaultIniPath() {
#ifdef Q_OS_WIN
  // The Windows folder is not writable for users; each keeps their own file.
  const QString appData = qEnvironmentVariable("APPDATA");
  if (!appData.isEmpty()) return QDir::fromNativeSeparators(appData) + QStringLiteral("/korvane/korvane.ini");
#endif
  const QString windir = qEnvironmentVariable("windir");
  if (!windir.isEmpty()) return windir + QStringLiteral("/korvane.ini");
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
  return config + QStringLiteral("/korvane/korvane.ini");
}

QString SettingsStore::olderIniPath() {
#ifdef Q_OS_WIN
  const QString windir = qEnvironmentVariable("windir");
  if (!windir.isEmpty() && !qEnvironmentVariable("APPDATA").isEmpty())
    return QDir::fromNativeSeparators(windir) + QStringLiteral("/korvane.ini");
#endif
  return {};
}

QString adoptOlderSettingsFile(const QString& iniPath, const QString& olderPath) {
  if (olderPath.isEmpty() || QFileInfo::exists(iniPath) || !QFileInfo(olderPath).isFile()) return {};
  const QString from = QDir::toNativeSeparators(olderPath);
  const QString to = QDir::toNativeSeparators(iniPath);
  QFile older(olderPath);
  if (QDir().mkpath(QFileInfo(iniPath).absolutePath()) && older.copy(iniPath)) {
    return QStringLiteral("以前の設定ファイル %1 を %2 にコピーしました。これからはこちらの設定を使います。").arg(from, to);
  }
  return QStringLiteral("以前の設定ファイル %1 を %2 にコピーできません（%3）。既定の設定を使います。")
      .arg(from, to, older.errorString());
}

QString SettingsStore::defaultEditor() {
#ifdef Q_OS_WIN
  return QStringLiteral("notepad.exe");
#else
  return QStringLiteral("xdg-open");
#endif
}

PortProfile& SettingsStore::profile(int slot) {
  if (slot < 0 || slot > kProfileSlots) throw std::out_of_range("profile slot out of range");
  return profiles_[static_cast<size_t>(slot)];
}

const PortProfile& SettingsStore::profile(int slot) const {
  return const_cast<SettingsStore*>(this)->profile(slot);
}

int SettingsStore::selectedSlot() const {
  const double slot = app_.currentProfile;
  return (slot >= 1 && slot <= kProfileSlots && slot == static_cast<int>(slot)) ? static_cast<int>(slot) : 0;
}

PortProfile* SettingsStore::selectedProfile() {
  const int slot = selectedSlot();
  return slot == 0 ? nullptr : &profiles_[static_cast<size_t>(slot)];
}

void SettingsStore::loadSettings() {
  loadNotice_.clear();
  if (const QString older = olderIniPath(); !older.isEmpty() && iniPath_ == defaultIniPath())
    loadNotice_ = adoptOlderSettingsFile(iniPath_, older);
  QString readError;
  const IniFile ini = IniFile::load(iniPath_, &readError);
  loadProblem_ = readError.isEmpty() ? QString()
                                     : QStringLiteral("設定ファイルを読み込めません（%1）。既定の設定を使います。\r\n%2")
                                           .arg(readError, iniPath_);
  for (int n = 1; n <= kProfileSlots; ++n) {
    profiles_[n] = PortProfile{};
    profiles_[n].deviceName = QStringLiteral("No.%1").arg(n);
    for (const ProfileKey& k : kProfileKeys) readField(ini, profileSection(n), k.key, profiles_[n], k.field);
  }
  const AppSettings defaults;
  app_.fileFilter = defaults.fileFilter;
  app_.shutdownAfterSend = defaults.shutdownAfterSend;
  app_.mailAfterSend = defaults.mailAfterSend;
  app_.mailAddress = defaults.mailAddress;
  app_.showTimeInInfo = defaults.showTimeInInfo;
  app_.currentProfile = defaults.currentProfile;
  app_.editorPath = defaultEditor();
  // A missing viewer is handed to the reader as a single blank, which trims to empty.
  app_.viewerPath = QStringLiteral(" ");
  for (const AppKey& k : kAppKeys) readField(ini, kAppSection, k.key, app_, k.field);
}

void SettingsStore::loadWindowSize() {
  const IniFile ini = IniFile::load(iniPath_);
  for (const AppKey& k : kWindowKeys) readField(ini, kAppSection, k.key, app_, k.field);
}

bool SettingsStore::saveSettings(QString* error) {
  QList<std::tuple<QString, QString, QString>> entries;
  for (int n = 1; n <= kProfileSlots; ++n) {
    for (const ProfileKey& k : kProfileKeys) {
      entries.append({profileSection(n), keyName(k.key), fieldText(profiles_[n], k.field)});
    }
  }
  for (const AppKey& k : kAppKeys) {
    if (keyName(k.key) == kKeyStartSlot) continue;
    entries.append({kAppSection, keyName(k.key), fieldText(app_, k.field)});
  }
  return writeAll(iniPath_, entries, error);
}

bool SettingsStore::saveExitState(int width, int height, QString* error) {
  app_.windowWidth = width;
  app_.windowHeight = height;
  return writeAll(iniPath_,
                  {{kAppSection, kKeyStartSlot, numberText(app_.currentProfile)},
                   {kAppSection, QStringLiteral("window_width"), numberText(width)},
                   {kAppSection, QStringLiteral("window_height"), numberText(height)}},
                  error);
}

bool SettingsStore::writeSetting(const QString& section, const QString& key, const QString& text, QString* error) {
  return writeAll(iniPath_, {{section, key, text}}, error);
}

QList<std::pair<QString, QList<std::pair<QString, QString>>>> SettingsStore::describe() const {
  QList<std::pair<QString, QList<std::pair<QString, QString>>>> out;
  for (int n = 1; n <= kProfileSlots; ++n) {
    QList<std::pair<QString, QString>> keys;
    for (const ProfileKey& k : kProfileKeys) keys.append({keyName(k.key), fieldText(profiles_[n], k.field)});
    out.append({profileSection(n), keys});
  }
  QList<std::pair<QString, QString>> keys;
  for (const AppKey& k : kAppKeys) keys.append({keyName(k.key), fieldText(app_, k.field)});
  for (const AppKey& k : kWindowKeys) keys.append({keyName(k.key), fieldText(app_, k.field)});
  out.append({kAppSection, keys});
  return out;
}

}  // namespace korvane
