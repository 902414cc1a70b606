#pragma once
#include <QString>

namespace korvane {

// One machine profile, section "COM<n>" of the settings file. Texts keep the stored text; the
// numbers are doubles because the file may hold any number and it is written back as read.
struct PortProfile {
  QString baudRate = QStringLiteral("9600");
  QString parity = QStringLiteral("N");
  QString dataBits = QStringLiteral("8");
  QString stopBits = QStringLiteral("2");
  double handshake = 3;
  double tapeCode = 0;
  double feedEnabled = 0;
  double feedLength = 0;
  double feedLength2 = 0;
  QString deviceName;  // "No.<n>" by default, filled by the store
  double eobMode = 0;
  double checkDcdDsr = 1;
  double useDc1 = 0;
  double useDc2Dc4 = 0;
  double waitEnabled = 0;
  double waitTime = 0;
  double ignorePercent = 0;
  double startCr = 0;
  double portNumber = 1;
  double rapidRate = 5000;  // mm/min: the machine's rapid traverse, for the time estimate
  // The shop-floor service: whether it serves this machine, the folder of programs the machine
  // may ask for, and the folder where what it punches is stored.
  double serviceEnabled = 0;
  QString programFolder;
  QString receiveFolder;
  // What the time estimate needs to know of the machine beyond its rapid rate: a machining
  // centre (0) or a lathe (1), the spindle's top speed (rpm), the seconds a tool change takes,
  // and whether a number written without a point is in millimetres (1, the calculator-type
  // input many controls use) or in the least input increment (0).
  double machineKind = 0;
  double maxSpindleSpeed = 4000;
  double toolChangeSeconds = 0;
  double decimalPointInput = 0;
  // A program restarted in the middle (途中から送信) puts the tool in force back into the
  // spindle with T and M06 (1), or leaves them out for a machine that keeps the tool (0).
  double restartToolChange = 1;
};

// What the machine keys of a profile can hold: beyond this no machine goes (1 km/min, a million
// rpm, an hour for a tool change). The settings dialog takes nothing beyond; a file edited by hand
// beyond it is read with the default.
inline constexpr double kMaxRapidRate = 1e6;       // mm/min
inline constexpr double kMaxSpindleSpeed = 1e6;    // rpm
inline constexpr double kMaxToolChangeSeconds = 3600;

// The rapid rate the time estimate uses: the profile's, where it is a rate at all.
inline double rapidRateOf(const PortProfile& profile) {
  return profile.rapidRate > 0 && profile.rapidRate <= kMaxRapidRate ? profile.rapidRate : 5000;
}

// Application-wide settings, section "参照".
struct AppSettings {
  QString editorPath;
  QString dataFolder;
  QString fileFilter = QStringLiteral("*.nc");
  double shutdownAfterSend = 0;
  double mailAfterSend = 0;
  QString mailAddress;
  double showTimeInInfo = 0;
  double currentProfile = 1;
  QString viewerPath;
  double windowWidth = 4920;
  double windowHeight = 4560;
};

inline constexpr int kProfileSlots = 10;

// The longest tape feed a profile can ask for, in centimetres: 100 m of leader, far beyond any
// reader's need, and a frame count that no conversion overflows.
inline constexpr double kMaxFeedLengthCm = 10000;
inline bool feedLengthUsable(double cm) { return cm <= kMaxFeedLengthCm; }  // false for NaN too
inline QString feedLengthLimitMessage() {
  return QStringLiteral("ﾌｨｰﾄﾞ長は %1 Cm までにしてください").arg(kMaxFeedLengthCm);
}  // slots 1..10; slot 0 exists and is never used

// Whole-number view of a stored number, for the places that use it as a choice or a count.
// The file may hold anything; a value no int can hold reads as 0 rather than overflowing.
inline int asInt(double value) {
  if (!(value > -2147483648.0 && value < 2147483648.0)) return 0;
  return static_cast<int>(value);
}

}  // namespace korvane
