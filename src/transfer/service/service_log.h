#pragma once
// What the shop-floor service tells: one line per event on standard error, as key=value pairs a
// journal can be searched by, and one record per transfer in a tab-separated file beside the
// settings file, for grep and for a spreadsheet. Machines report from their own threads.

#include <QString>
#include <cstdio>
#include <mutex>

namespace korvane {

struct ServiceEvent {
  int slot = 0;         // the profile, 0 for the service itself
  QString machine;      // the profile's device name
  QString direction;    // "receive", "send", "port" or "service"
  QString program;      // "O1234" where one is known
  qint64 bytes = -1;    // -1: not a transfer
  QString result;       // "stored", "sent", "incomplete", "failed", "not-found", ...
  QString file;
  QString reason;

  // A transfer's outcome, as opposed to a step on the way (a request read, an answer waiting, a
  // file of the program folder passed over).
  bool isTransfer() const {
    return (direction == QLatin1String("receive") || direction == QLatin1String("send")) &&
           result != QLatin1String("request") && result != QLatin1String("waiting") &&
           result != QLatin1String("skipped");
  }
};

// The record file beside the settings file.
QString transferLogPath(const QString& iniPath);

class ServiceLog {
 public:
  // stream: where event lines go (standard error); transferLog: the record file, empty for none.
  ServiceLog(std::FILE* stream, QString transferLog);

  void event(const ServiceEvent& e);
  // The event line without the time (the journal adds its own).
  static QString eventLine(const ServiceEvent& e);
  // One record: time, machine, slot, direction, program, bytes, result, file, reason.
  static QString transferRecord(const ServiceEvent& e, const QString& time);

 private:
  std::mutex mutex_;
  std::FILE* stream_;
  QString transferLog_;
  bool warnedLogFile_ = false;
};

}  // namespace korvane
