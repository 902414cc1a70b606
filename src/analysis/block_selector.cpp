#include "analysis/block_selector.h"

#include "settings/ini_file.h"

namespace korvane {

std::optional<BlockSelector> BlockSelector::parse(const QString& text, QString* error) {
  BlockSelector s;
  const QString t = text.trimmed();
  const auto wholeNumber = [&](const QString& digits, double* value) {
    bool ok = false;
    const qlonglong n = digits.toLongLong(&ok);
    if (!ok || n < 0) return false;
    *value = static_cast<double>(n);
    return true;
  };
  if (t.startsWith(QLatin1String("text:"))) {
    s.kind_ = Kind::Text;
    const QString wanted = t.mid(5);
    if (wanted.isEmpty()) {
      if (error) *error = QStringLiteral("text: needs the text to look for");
      return std::nullopt;
    }
    s.text_ = wanted.toUtf8();
    s.textCp932_ = encodeCp932(wanted);
    return s;
  }
  if (t.startsWith(QLatin1String("line:")) && wholeNumber(t.mid(5), &s.number_) && s.number_ >= 1) {
    s.kind_ = Kind::Line;
    return s;
  }
  if (t.startsWith(QLatin1String("tool:")) && wholeNumber(t.mid(5), &s.number_) && s.number_ >= 1) {
    s.kind_ = Kind::ToolChange;
    return s;
  }
  if ((t.startsWith(QLatin1Char('N')) || t.startsWith(QLatin1Char('n'))) && wholeNumber(t.mid(1), &s.number_)) {
    s.kind_ = Kind::Number;
    return s;
  }
  if (wholeNumber(t, &s.number_) && s.number_ >= 1) {
    s.kind_ = Kind::Line;
    return s;
  }
  if (error) {
    *error = QStringLiteral("%1: a block is N<number>, line:<number>, tool:<n> or text:<text>").arg(text);
  }
  return std::nullopt;
}

QString BlockSelector::describe() const {
  switch (kind_) {
    case Kind::Number: return QStringLiteral("N%1").arg(number_, 0, 'f', 0);
    case Kind::Line: return QStringLiteral("line:%1").arg(number_, 0, 'f', 0);
    case Kind::ToolChange: return QStringLiteral("tool:%1").arg(number_, 0, 'f', 0);
    case Kind::Text: return QStringLiteral("text:") + QString::fromUtf8(text_);
  }
  return {};
}

bool BlockSelector::matchesRead(const BlockWords& words, const BlockPlace& place, QByteArrayView text) const {
  switch (kind_) {
    case Kind::Number: return words.has(Address::N) && words.number(Address::N) == number_;
    case Kind::Line: return static_cast<double>(place.line) == number_;
    case Kind::Text: return text.indexOf(text_) >= 0 || (!textCp932_.isEmpty() && text.indexOf(textCp932_) >= 0);
    case Kind::ToolChange: return false;
  }
  return false;
}

bool BlockSelector::matchesState(const ModalState& state) const {
  return kind_ == Kind::ToolChange && !state.shapeBlock && static_cast<double>(state.toolChanges) == number_;
}

}  // namespace korvane
