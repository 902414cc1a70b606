#pragma once
// The main window's geometry in twips, without widgets: the designed positions, the margins
// taken from them, and the rule that moves and stretches the controls when the window is resized.

#include <QString>
#include <array>

namespace korvane {

struct TwipRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const TwipRect&) const = default;
};

// A straight line from (x1, y1) to (x2, y2).
struct TwipLine {
  int x1 = 0;
  int y1 = 0;
  int x2 = 0;
  int y2 = 0;
  bool operator==(const TwipLine&) const = default;
};

// Client coordinates below the menu bar.
struct MainLayout {
  TwipRect Label2;
  TwipRect comportm;
  TwipRect List1;
  TwipRect flistadd;
  TwipRect flistins;
  TwipRect flistdel;
  TwipRect cmdedit;
  TwipRect ProgressBar1;
  TwipRect Cmdsend;
  TwipRect cmdget;
  TwipRect cmdportset;
  TwipRect cmdexit;
  TwipRect Check1;
  TwipRect StatusBar1;
  TwipLine Line1;  // white half of the separator under the menu bar
  TwipLine Line2;  // shadow half of it
  TwipLine Line3;  // shadow half of the separator above the bottom row of buttons
  TwipLine Line4;  // white half of it
  bool operator==(const MainLayout&) const = default;
};

// The outer size the layout was drawn for; also the stored size of a first start.
inline constexpr int kDesignWidth = 4920;
inline constexpr int kDesignHeight = 4560;
// The client area of that outer size.
inline constexpr int kDesignClientWidth = 4800;
inline constexpr int kDesignClientHeight = 3870;

MainLayout designedLayout();

// How far each moving edge stays from the window's right or bottom edge; taken once from the
// designed layout against the designed outer size.
struct LayoutMargins {
  int rightButtonsLeft = 0;       // m1: left of the right-hand column of buttons
  int bottomButtonsTop = 0;       // m2: top of the bottom row of buttons
  int topSeparatorEnd = 0;        // m3: end x of the separator under the menu bar
  int bottomSeparatorEnd = 0;     // m4: end x of the separator above the bottom row
  int bottomSeparatorShadowY = 0; // m5: y of its shadow line
  int bottomSeparatorLightY = 0;  // m6: y of its white line
  int listWidth = 0;              // m7
  int listHeight = 0;             // m8
  int progressWidth = 0;          // m9
  int progressTop = 0;            // m10
  int checkBoxTop = 0;            // m11
  std::array<int, 11> values() const;
};

LayoutMargins captureMargins(const MainLayout& layout, int referenceWidth = kDesignWidth,
                             int referenceHeight = kDesignHeight);

// Moves and stretches the controls of layout for the outer size width x height (twips). A
// dimension below its designed value changes nothing in that direction, so the controls stay
// where the last larger size put them and a minimised window does not pile them up.
void applyResizeRule(MainLayout& layout, const LayoutMargins& margins, int width, int height);

}  // namespace korvane
