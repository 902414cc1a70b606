#pragma once
// What the reading of a program needs to know of the machine it runs on: one value, taken from
// the machine's profile, that travels to every reader of G-code.

#include "analysis/machining_geometry.h"

namespace korvane {

struct PortProfile;

struct MachineModel {
  enum class Kind { MachiningCentre, Lathe };

  Kind kind = Kind::MachiningCentre;
  double rapidRate = machining::kDefaultRapidRate;  // mm/min
  double spindleLimit = 4000;                       // rpm: a lathe's top speed unless G50 S says less
  double toolChangeSeconds = 0;                     // each M06, or each new tool on a lathe
  // A number written without a point is in millimetres (inches under G20), as calculator-type
  // controls read it, rather than in the least input increment.
  bool calculatorInput = false;

  bool lathe() const { return kind == Kind::Lathe; }
};

// The machine a profile describes; values outside what a machine can be fall back to the defaults.
MachineModel machineOf(const PortProfile& profile);

}  // namespace korvane
