#pragma once
// The help window: the help document installed with the program (or the copy inside it), shown
// in a browser pane with back, forward and contents buttons.

#include <QUrl>
#include <QWidget>

class QTextBrowser;

namespace korvane {

// Context number of the help's start topic, the one the help menu opens.
inline constexpr int kHelpStartContext = 100;

class HelpViewer final : public QWidget {
  Q_OBJECT

 public:
  explicit HelpViewer(QWidget* parent = nullptr);
  // Shows the topic of a context number; an unknown number shows the start topic.
  void showContext(int context);
  // The address of a context's page: in the installed help folder (share/korvane/help) where
  // there is one, else inside the program's resources.
  static QUrl pageForContext(int context);
  QTextBrowser* browser() const { return browser_; }

 private:
  QTextBrowser* browser_ = nullptr;
};

}  // namespace korvane
