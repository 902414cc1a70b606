// The settings file on arbitrary bytes: whatever korvane.ini holds, every value read, saved by
// 設定保存 and read back reads as it did; the line settings text of each profile is taken or
// refused, never misread.
#include "fuzz_support.h"
#include "platform/serial/line_settings.h"
#include "settings/settings_store.h"

using namespace korvane;

namespace {

bool same(double a, double b) { return a == b || (a != a && b != b); }

bool sameProfile(const PortProfile& a, const PortProfile& b) {
  return a.baudRate == b.baudRate && a.parity == b.parity && a.dataBits == b.dataBits && a.stopBits == b.stopBits &&
         same(a.handshake, b.handshake) && same(a.tapeCode, b.tapeCode) && same(a.feedEnabled, b.feedEnabled) &&
         same(a.feedLength, b.feedLength) && same(a.feedLength2, b.feedLength2) && a.deviceName == b.deviceName &&
         same(a.eobMode, b.eobMode) && same(a.checkDcdDsr, b.checkDcdDsr) && same(a.useDc1, b.useDc1) &&
         same(a.useDc2Dc4, b.useDc2Dc4) && same(a.waitEnabled, b.waitEnabled) && same(a.waitTime, b.waitTime) &&
         same(a.ignorePercent, b.ignorePercent) && same(a.startCr, b.startCr) && same(a.portNumber, b.portNumber) &&
         same(a.rapidRate, b.rapidRate) && same(a.serviceEnabled, b.serviceEnabled) &&
         a.programFolder == b.programFolder && a.receiveFolder == b.receiveFolder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QString first = fuzz::write(QStringLiteral("korvane.ini"), bytes);
  SettingsStore read(first);
  read.loadSettings();

  const QString second = QDir(fuzz::folder()).filePath(QStringLiteral("saved.ini"));
  QFile::remove(second);
  SettingsStore saving(second);
  saving.loadSettings();
  for (int slot = 1; slot <= kProfileSlots; ++slot) saving.profile(slot) = read.profile(slot);
  saving.app() = read.app();
  if (!saving.saveSettings()) return 0;  // refused with a reason: nothing half-written to compare
  SettingsStore again(second);
  again.loadSettings();
  for (int slot = 1; slot <= kProfileSlots; ++slot) {
    if (!sameProfile(read.profile(slot), again.profile(slot))) fuzz::fail("a profile value did not read back as saved");
    const PortProfile& p = again.profile(slot);
    const QString text = p.baudRate + ',' + p.parity + ',' + p.dataBits + ',' + p.stopBits;
    if (const auto settings = parseLineSettings(text)) {
      if (settings->dataBits != 7 && settings->dataBits != 8) fuzz::fail("data bits other than 7 or 8 accepted");
      if (!isKnownLineRate(settings->rate)) fuzz::fail("an unknown line rate accepted");
    }
  }
  return 0;
}
