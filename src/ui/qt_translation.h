#pragma once
// Qt's own texts (file dialogs, the Yes and No of a question, context menus of text boxes) in
// Japanese like the rest of the window, whatever the locale of the session.

namespace korvane {

// Loads Qt's Japanese translation (qtbase_ja) into the application. False when it is not
// installed; the window then shows Qt's own texts in English.
bool installQtJapaneseTranslation();

}  // namespace korvane
