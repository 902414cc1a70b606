#pragma once
// One entry of the settings dialog's port list: the port "Com n" and what the start-up probe
// found there.

#include <QList>
#include <QString>

namespace korvane {

struct PortChoice {
  int number = 0;
  // Opened (and closed again) at start-up. A port that did not open is listed all the same: a
  // device server that was off, an adapter not yet plugged in, a port another program held.
  bool openable = true;
  QString detail;  // "Com n: " the device or address, then "ok" or why it did not open
};

// "Com n", with the mark of a port that could not be opened at start-up.
QString portChoiceText(const PortChoice& port);

}  // namespace korvane
