#include "analysis/machine_model.h"

#include <cmath>

#include "settings/settings_types.h"

namespace korvane {

MachineModel machineOf(const PortProfile& profile) {
  MachineModel machine;
  machine.kind = asInt(profile.machineKind) == 1 ? MachineModel::Kind::Lathe : MachineModel::Kind::MachiningCentre;
  machine.rapidRate = rapidRateOf(profile);
  // A spindle that cannot turn, or a text that is no number, leaves the default limit.
  if (profile.maxSpindleSpeed > 0 && profile.maxSpindleSpeed <= kMaxSpindleSpeed) machine.spindleLimit = profile.maxSpindleSpeed;
  if (profile.toolChangeSeconds > 0 && profile.toolChangeSeconds <= kMaxToolChangeSeconds) {
    machine.toolChangeSeconds = profile.toolChangeSeconds;
  }
  machine.calculatorInput = asInt(profile.decimalPointInput) == 1;
  return machine;
}

}  // namespace korvane
