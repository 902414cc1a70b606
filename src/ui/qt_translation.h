#pragma once
// Qt's own texts in the window (the buttons of message boxes, the file dialogs, the context menu
// of a text box) in Japanese like the rest of the window, whatever the desktop's language is.

class QCoreApplication;
class QString;

namespace korvane {

// Loads Qt's Japanese translation (Debian package qt6-translations-l10n) from `folder`, by
// default Qt's own translations folder, into the application. False when it is not there: the
// texts stay in English and the program works on.
bool installQtJapaneseTranslation(QCoreApplication& app);
bool installQtJapaneseTranslation(QCoreApplication& app, const QString& folder);

}  // namespace korvane
