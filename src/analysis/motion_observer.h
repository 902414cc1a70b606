#pragma once
// What the reading of a program tells those who follow it beyond the totals: each move it makes,
// the modal state each block finds, and each result row. The time estimate needs none of it; the
// toolpath view and the restart take their moves and states from here, so that every figure they
// show is the estimate's own.

#include <array>
#include <cstdint>

#include "analysis/machining_geometry.h"

namespace korvane {

struct MachiningRow;

enum class MoveKind : std::uint8_t { Rapid, Feed, Arc, Dwell };

struct Move {
  MoveKind kind = MoveKind::Rapid;
  bool cycle = false;      // made by a canned cycle (drilling, turning, threading)
  bool clockwise = false;  // arcs: G02
  machining::Plane plane = machining::Plane::XY;
  // In millimetres, where the tool is. On a lathe x is the radius (the program writes a
  // diameter) and y is 0.
  machining::Point start;
  machining::Point end;
  machining::Point centre;  // arcs
  double length = 0;        // mm along the path (a helix, an arc, a line)
  double feedRate = 0;      // mm/min at the start of the move; rapids at the machine's rapid rate
  double spindle = 0;       // rpm at the start of the move, 0 while unknown
  int tool = 0;             // the tool in use
  double minutes = 0;       // into the program at the end of the move, as its result row counts
  std::int64_t block = 0;   // the block that made it: its place among the file's blocks, from 0
};

// How an axis came to stand where the state's position says: not yet moved by the program, by a
// move in program coordinates, at the first or second reference point (G28, G30; the reading
// puts them at the origin) or in machine coordinates (G53). Only the first kind is a place in
// the program's coordinates that a restart can go back to.
enum class AxisPlace : std::uint8_t { Unknown, Program, Reference, SecondReference, Machine };

// The state of the control as a block finds it: what a restart must rebuild before that block.
// Lengths in millimetres; positions as the program writes them (on a lathe x is the diameter).
struct ModalState {
  machining::Point position;
  // x, y, z. A mill's moves keep it, and the clearance below, only while an observer listens.
  std::array<AxisPlace, 3> axisPlace{};
  int motion = 0;           // 0-3, and 32 on a lathe
  int cycle = 0;            // a drilling cycle (73-89) or a lathe's single cycle (90, 92, 94); 0 none
  machining::Plane plane = machining::Plane::XY;
  bool absolute = true;
  bool inch = false;
  bool perRevolution = false;  // G95 (G99 on a lathe)
  bool returnToR = false;      // G99 of a drilling cycle
  double feed = 0;             // F in force as written: per minute or per revolution, in the program's unit
  bool feedWritten = false;    // no F yet: the initial feed
  // The spindle: S as written (rpm, or the surface speed under G96), its direction (3, 4, 5, 0
  // while none was written) and, on a lathe, the G50 limit and whether G96 is in force.
  double spindleWord = 0;
  bool spindleWritten = false;
  int spindleDirection = 0;
  bool constantSurfaceSpeed = false;
  double spindleLimitWord = 0;  // G50 S, rpm; 0 while none was written
  // Coolant as the M codes left it: M07 and M08 may both be on; M09 turns both off.
  bool mist = false;
  bool flood = false;
  int workOffset = 0;           // 54-59, or 154 for G54.1 with workOffsetNumber; 0 while none was written
  double workOffsetNumber = 0;  // P of G54.1
  int lengthCompensation = 49;  // 43, 44 or 49
  double lengthOffset = 0;      // H
  int cutterCompensation = 40;  // 40, 41 or 42
  double toolWord = -1;         // the last T as written, -1 while none
  int toolDigits = 0;           // digits of that T
  int tool = 0;                 // the tool in use, as the time estimate counts tool changes
  int toolChanges = 0;          // M06 blocks on a machining centre, new tools on a lathe
  double nextToolWord = -1;     // a machining centre's T selected for the next M06, -1 while none
  int nextToolDigits = 0;
  // The first rapid Z after the last tool change (a machining centre's clearance height), and a
  // lathe tool's last rapid X (diameter) and Z.
  bool clearanceKnown = false;
  double clearanceZ = 0;
  bool lastRapidKnown = false;
  double lastRapidX = 0;
  double lastRapidZ = 0;
  // Drilling data in force (mm, as the last cycle block wrote them).
  double drillR = 0;
  double drillZ = 0;
  double drillQ = 0;
  double drillP = 0;  // ms
  double drillInitialLevel = 0;
  // A lathe's single cycle in force (G90, G92, G94): its X (a diameter), Z and taper R (a radius).
  double cycleX = 0;
  double cycleZ = 0;
  double cycleTaper = 0;
  // What the reading cannot follow: a macro statement or call was read (#, [, G65, G66), and the
  // block is one a cycle's shape lends its moves to, skipped where it stands.
  bool macroSeen = false;
  bool shapeBlock = false;
};

class MotionObserver {
 public:
  virtual ~MotionObserver() = default;
  // A block is about to be carried out: the state it finds, and the time into the program so far.
  virtual void block(std::int64_t ordinal, const ModalState& state, double minutes) = 0;
  virtual void move(const Move& move) = 0;
  virtual void rowEnded(const MachiningRow& row) = 0;
};

}  // namespace korvane
