#pragma once
// The message box the small dialogs use to say why something could not be done. The dialog
// stays open behind it. Tests replace the box with a hook that records the text.

#include <QString>
#include <functional>

class QWidget;

namespace korvane {

using DialogMessageHook = std::function<void(QWidget* parent, const QString& text)>;

// Installs hook in place of the message box (an empty hook restores the box) and returns the
// hook that was installed before.
DialogMessageHook setDialogMessageHook(DialogMessageHook hook);

// A modal warning box with OK under the application's title, or the installed hook.
void showDialogMessage(QWidget* parent, const QString& text);

}  // namespace korvane
