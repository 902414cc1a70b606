#pragma once
// The window's controls name the Japanese Windows faces; on other systems they are mapped to the
// IPA faces of the same kind (fixed-pitch and proportional gothic).

#include <QString>

namespace korvane {

inline const QString kGothicFamily = QStringLiteral("ＭＳ ゴシック");
inline const QString kPGothicFamily = QStringLiteral("ＭＳ Ｐゴシック");

// Registers the substitutes; call once after the application object exists and before any
// window is built.
void installJapaneseFontSubstitutes();

}  // namespace korvane
