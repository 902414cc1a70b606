#include "app/cli/terminal_view.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <string>

#include "app/cli/cli_command.h"

namespace korvane::cli {

void TerminalView::setStatusText(const QString& text) {
  status_ = text;
  redraw();
}

void TerminalView::setElapsedText(const QString& text) {
  elapsed_ = text;
  redraw();
}

void TerminalView::setProgressRange(qint64 maximum) {
  maximum_ = maximum;
  redraw(true);
}

void TerminalView::setProgressValue(qint64 value) {
  value_ = value;
  redraw();
}

void TerminalView::redraw(bool force) {
  if (!force && sinceDraw_.isValid() && sinceDraw_.elapsed() < 100) return;
  sinceDraw_.start();
  // A reception has no size to count towards: its line shows the time and the last line only.
  QString line = maximum_ > 0 ? QStringLiteral("%1/%2 bytes  ").arg(value_).arg(maximum_) : QString();
  line += QStringLiteral("%1  line %2").arg(elapsed_, status_);
  if (line.size() > 100) line = line.left(100);
  err() << '\r' << line << "\x1b[K";
  err().flush();
  lineOpen_ = true;
}

void TerminalView::finishLine() {
  if (!lineOpen_) return;
  redraw(true);
  err() << '\n';
  err().flush();
  lineOpen_ = false;
}

void TerminalView::showMessage(const QString& text, MessageIcon) {
  finishLine();
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  err() << shown << '\n';
  err().flush();
}

bool TerminalView::askYesNo(const QString& text, MessageIcon icon) {
  showMessage(text, icon);
  if (!isatty(STDIN_FILENO)) {
    err() << "(端末がないため「いいえ」とします)\n";
    err().flush();
    return false;
  }
  err() << "[y/N] ";
  err().flush();
  std::string answer;
  std::getline(std::cin, answer);
  return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

}  // namespace korvane::cli
