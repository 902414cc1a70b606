#include "ui/main_window_layout.h"

namespace korvane {

MainLayout designedLayout() {
  MainLayout l;
  l.Label2 = {120, 240, 615, 255};
  l.comportm = {840, 120, 2055, 360};
  l.List1 = {105, 600, 3495, 1740};
  l.flistadd = {3720, 600, 975, 375};
  l.flistins = {3720, 1135, 975, 375};
  l.flistdel = {3720, 1670, 975, 375};
  l.cmdedit = {3720, 2205, 975, 375};
  l.ProgressBar1 = {120, 2400, 3495, 180};
  l.Cmdsend = {120, 2760, 975, 375};
  l.cmdget = {1320, 2760, 975, 375};
  l.cmdportset = {2520, 2760, 975, 375};
  l.cmdexit = {3720, 2760, 975, 375};
  l.Check1 = {120, 3240, 2415, 255};
  l.StatusBar1 = {0, 3570, 4800, 300};
  l.Line2 = {0, 0, 7800, 0};
  l.Line1 = {0, 15, 7800, 15};
  l.Line3 = {0, 2640, 5400, 2640};
  l.Line4 = {0, 2655, 5400, 2655};
  return l;
}

std::array<int, 11> LayoutMargins::values() const {
  return {rightButtonsLeft, bottomButtonsTop,   topSeparatorEnd, bottomSeparatorEnd,
          bottomSeparatorShadowY, bottomSeparatorLightY, listWidth, listHeight,
          progressWidth,    progressTop,        checkBoxTop};
}

LayoutMargins captureMargins(const MainLayout& l, int referenceWidth, int referenceHeight) {
  LayoutMargins m;
  m.rightButtonsLeft = referenceWidth - l.flistadd.left;
  m.bottomButtonsTop = referenceHeight - l.Cmdsend.top;
  m.topSeparatorEnd = referenceWidth - l.Line1.x2;
  m.bottomSeparatorEnd = referenceWidth - l.Line3.x2;
  m.bottomSeparatorShadowY = referenceHeight - l.Line3.y2;
  m.bottomSeparatorLightY = referenceHeight - l.Line4.y2;
  m.listWidth = referenceWidth - l.List1.width;
  m.listHeight = referenceHeight - l.List1.height;
  m.progressWidth = referenceWidth - l.ProgressBar1.width;
  m.progressTop = referenceHeight - l.ProgressBar1.top;
  m.checkBoxTop = referenceHeight - l.Check1.top;
  return m;
}

void applyResizeRule(MainLayout& l, const LayoutMargins& m, int width, int height) {
  if (width >= kDesignWidth) {
    const int buttonsLeft = width - m.rightButtonsLeft;
    for (TwipRect* r : {&l.flistadd, &l.flistins, &l.flistdel, &l.cmdedit, &l.cmdexit}) r->left = buttonsLeft;
    l.Line1.x2 = l.Line2.x2 = width - m.topSeparatorEnd;
    l.Line3.x2 = l.Line4.x2 = width - m.bottomSeparatorEnd;
    l.List1.width = width - m.listWidth;
    l.ProgressBar1.width = width - m.progressWidth;
  }
  if (height >= kDesignHeight) {
    const int buttonsTop = height - m.bottomButtonsTop;
    for (TwipRect* r : {&l.Cmdsend, &l.cmdget, &l.cmdportset, &l.cmdexit}) r->top = buttonsTop;
    l.Line3.y1 = l.Line3.y2 = height - m.bottomSeparatorShadowY;
    l.Line4.y1 = l.Line4.y2 = height - m.bottomSeparatorLightY;
    l.List1.height = height - m.listHeight;
    l.ProgressBar1.top = height - m.progressTop;
    l.Check1.top = height - m.checkBoxTop;
  }
}

}  // namespace korvane
