#include "ui/japanese_fonts.h"

#include <QFont>

namespace korvane {

void installJapaneseFontSubstitutes() {
  // Both the Japanese and the Latin spelling of each face occur in settings copied from Windows.
  const QString gothic = QStringLiteral("IPAGothic");
  const QString pGothic = QStringLiteral("IPAPGothic");
  QFont::insertSubstitution(kGothicFamily, gothic);
  QFont::insertSubstitution(QStringLiteral("MS Gothic"), gothic);
  QFont::insertSubstitution(kPGothicFamily, pGothic);
  QFont::insertSubstitution(QStringLiteral("MS PGothic"), pGothic);
}

}  // namespace korvane
