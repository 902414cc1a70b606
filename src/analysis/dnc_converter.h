#pragma once
// The DNC conversion: turns the main program (the first program of the first list file) and the
// subprograms it calls with M98, found in any list file, into one flat program. Every call line
// is replaced by the called body, repeated as its L word says, nested calls expanded in place;
// a call whose program no file holds is kept as written and listed as unconverted.
//
// The converter has no window. A window drives it: it asks for the destination itself, passes
// the path in, answers the duplicate question through a callback, shows the lists as they grow
// or from the result, and shows kDncDoneMessage after a converted run.

#include <QString>
#include <QStringList>
#include <functional>

namespace korvane {

inline const QString kDncCaption = QStringLiteral("ＤＮＣ変換");
// The save dialog that asks for the destination: its title (also the main window's caption
// while it is open) and its filter, as description|patterns.
inline const QString kDncSaveTitle = QStringLiteral("変換先ファイル");
inline const QString kDncSaveFilter = QStringLiteral("すべてのﾌｧｲﾙ (*.*)|*.*");
inline const QString kDncDoneMessage = QStringLiteral("変換終了しました");

// The question asked when program numbers repeat: the heading, CR LF, one "  O<number>" line per
// repeat, then "中断しますか？".
QString dncDuplicateQuestion(const QString& report);

enum class DncOutcome {
  Converted,  // the destination holds the flat program (unconverted calls included)
  Stopped,    // the operator answered Yes to the duplicate question: the destination is empty
  Failed,     // see message; the destination is left as it was, no work file remains
  Cancelled,  // cancelRequested said so; the destination is left as it was
  Busy,       // a conversion is already running; nothing was done
};

struct DncResult {
  DncOutcome outcome = DncOutcome::Failed;
  QString message;            // why the run failed, was cancelled or refused; empty otherwise
  QStringList converted;      // one entry per expanded call and repetition, indented by depth
  QStringList unconverted;    // the call lines that could not be resolved, as written
  QString duplicateReport;    // the repeats the question named, empty when there were none
};

struct DncHooks {
  // Asked when program numbers repeat, with the whole question text: true stops the run (Yes),
  // false goes on (No). Without a hook the run goes on.
  std::function<bool(const QString& question)> stopOnDuplicates;
  // The expansion is about to start: the window shows its lists, empty.
  std::function<void()> expansionStarting;
  // An entry was added to the converted or the unconverted list.
  std::function<void(const QString& entry)> convertedAdded;
  std::function<void(const QString& callLine)> unconvertedAdded;
  // Lets pending window events run; called at every call expansion and now and then while long
  // bodies are copied.
  std::function<void()> serveEvents;
  // Polled with serveEvents: true ends the run as Cancelled.
  std::function<bool()> cancelRequested;
};

class DncConverter {
 public:
  explicit DncConverter(DncHooks hooks = {});

  // Converts the list files (in list order) into the destination. The destination appears only
  // when the run ends as Converted (or Stopped, empty): it is written through a temporary file
  // beside it and renamed into place, so a failure never leaves half a program.
  DncResult run(const QStringList& listFiles, const QString& destination);

  // True while any conversion runs in this process. Events served during a run can reach the
  // menu again; a second conversion is refused with Busy, and a send should check this too.
  static bool anyRunning();

 private:
  DncHooks hooks_;
};

}  // namespace korvane
