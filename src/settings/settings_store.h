#pragma once
// The one in-memory copy of the machine profiles and application settings, and the moments at
// which it reaches the settings file. Everything else reads and changes this copy directly, so a
// change takes effect at its next use.

#include <QString>
#include <array>

#include "settings/settings_types.h"

namespace korvane {

inline const QString kAppSection = QStringLiteral("参照");
inline const QString kKeyStartSlot = QStringLiteral("開始ポート");
inline const QString kKeyFilter = QStringLiteral("ﾌｨﾙﾀ");
inline const QString kKeyFolder = QStringLiteral("ﾌｫﾙﾀﾞ");

QString profileSection(int slot);  // "COM1".."COM10"

// Copies the settings file olderPath to iniPath, byte for byte, when iniPath does not exist and
// olderPath does. The message for the operator when it copied or failed to; empty when there
// was nothing to do.
QString adoptOlderSettingsFile(const QString& iniPath, const QString& olderPath);

class SettingsStore {
 public:
  explicit SettingsStore(QString iniPath);

  // On Windows %APPDATA%\korvane\korvane.ini, each user's own. Elsewhere $windir/korvane.ini
  // when windir is set, otherwise korvane/korvane.ini under the XDG configuration folder
  // ($XDG_CONFIG_HOME, default ~/.config).
  static QString defaultIniPath();
  // On Windows %windir%\korvane.ini, where earlier installations kept the settings; loading the
  // default file copies it over once when the default file does not exist yet. Empty elsewhere.
  static QString olderIniPath();
  // The editor used when none is stored: the desktop's opener on POSIX.
  static QString defaultEditor();

  const QString& iniPath() const { return iniPath_; }

  // Slots 0..10; 0 exists and is never used. Any other index throws std::out_of_range.
  PortProfile& profile(int slot);
  const PortProfile& profile(int slot) const;
  // The profile of currentProfile, or nullptr when currentProfile is not a slot 1..10.
  PortProfile* selectedProfile();
  int selectedSlot() const;  // currentProfile when it is 1..10, else 0

  AppSettings& app() { return app_; }
  const AppSettings& app() const { return app_; }

  // Reads the ten profiles and every application setting but the window size.
  void loadSettings();
  // After loadSettings: empty, or the message that the file is there but could not be read and
  // the defaults are in use. The file is then not written over either.
  const QString& loadProblem() const { return loadProblem_; }
  // What loadSettings() did that the operator should hear of once: the settings file of an
  // earlier installation taken over. Empty otherwise.
  const QString& loadNotice() const { return loadNotice_; }
  void loadWindowSize();
  // Every profile key and the application keys but the start slot and the window size.
  bool saveSettings(QString* error = nullptr);
  // The start slot and the window's outer size, at exit.
  bool saveExitState(int width, int height, QString* error = nullptr);
  bool writeSetting(const QString& section, const QString& key, const QString& text, QString* error = nullptr);

  // Every key of the file, in file order, with its current in-memory text: [section] -> key=value.
  // Used to print the settings.
  QList<std::pair<QString, QList<std::pair<QString, QString>>>> describe() const;

 private:
  QString iniPath_;
  QString loadProblem_;
  QString loadNotice_;
  std::array<PortProfile, kProfileSlots + 1> profiles_{};
  AppSettings app_;
};

}  // namespace korvane
