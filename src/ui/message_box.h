#pragma once
// The message boxes of the program: a box is made wide enough that the window manager's title
// bar shows the whole caption beside its buttons, not a cut "N… 送".

#include <QMessageBox>

#include "transfer/transfer_view.h"

namespace korvane {

// The least width, in pixels, at which a box shows caption whole in its title bar: the caption in
// the title bar's (bold) face plus room for the window manager's icon and buttons.
int captionWidthPx(const QWidget& box, const QString& caption);

// A modal box under the application's title: OK, or Yes and No (then true for Yes). A question
// with the warning icon asks before a step that cannot be undone, so its default is No.
bool execMessageBox(QWidget* parent, const QString& text, MessageIcon icon, bool yesNo);

// Keeps box at least captionWidthPx wide for its own title.
void fitCaption(QMessageBox& box);

}  // namespace korvane
