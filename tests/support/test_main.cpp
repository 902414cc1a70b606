// Every test binary runs with a QApplication on the offscreen platform, so widget tests and core
// tests share one main and none needs a display.
#include <gtest/gtest.h>

#include <QApplication>

#if defined(__SANITIZE_THREAD__)
// Debian builds the Qt libraries without ThreadSanitizer: their QMutex waits on futexes directly,
// so the hand-over of posted events and of Qt's own thread pool (image drawing) is invisible to
// it, and every cross-thread event or pooled task looks like a race inside Qt. Only what Qt's own
// code does is left out: a race in korvane's code, or on korvane's data, is still reported.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libQt6Widgets.so.6\n";
}
#endif

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
