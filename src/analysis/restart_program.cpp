#include "analysis/restart_program.h"

#include <algorithm>

#include "analysis/block_scanner.h"
#include "analysis/restart_builder.h"
#include "analysis/restart_text.h"
#include "settings/settings_types.h"

namespace korvane::restart {

std::optional<Refusal> Builder::refusal() const {
  const BlockRecord& r = at(b_);
  const QString name = nameOf(b_).describe();
  if (r.is(BlockWords::kPercentOnly) || r.is(BlockWords::kNumbered)) {
    return Refusal{QStringLiteral("%1 はテープの % かプログラム番号の行です。始めからなら 送信 でプログラム全体を送ってください").arg(name),
                   b_ + 1 < count() ? b_ + 1 : -1};
  }
  if (r.passedOver) {
    std::int64_t cycle = -1;
    for (std::int64_t k = b_ - 1; k >= 0 && cycle < 0; --k) {
      const BlockRecord& c = at(k);
      if (c.motion >= 70 && c.motion <= 73 && c.has(Address::P) && c.has(Address::Q)) cycle = k;
    }
    return Refusal{QStringLiteral("%1 は複合形固定サイクル（G70～G73）の形状のブロックです。サイクルが形状として読むだけで、単独では実行されません")
                       .arg(name),
                   cycle};
  }
  if (s_.macroSeen || r.is(BlockWords::kMacro) || r.oneShot == 65 || r.oneShot == 66) {
    return Refusal{QStringLiteral("%1 はマクロ（#、[ ]、G65、G66、IF、WHILE）の中かその後です。変数の値が分からないため状態を組み立てられません")
                       .arg(name)};
  }
  for (std::int64_t k = 0; k <= programEnd_; ++k) {
    if (at(k).is(BlockWords::kCall)) {
      return Refusal{QStringLiteral("%1 のサブプログラム呼び出し（M98）を展開できませんでした。呼ばれるプログラムが見つからないと状態を追えません")
                         .arg(nameOf(k).describe())};
    }
  }
  if (auto setting = coordinateSetting()) return setting;
  for (std::int64_t k = 0; k < b_; ++k) {
    if (carriedOut(k) && at(k).is(BlockWords::kRotaryAxis)) {
      return Refusal{QStringLiteral("%1 より前の %2 に A、B、C 軸の指令があります。回転軸の位置は追えないため再開プログラムで戻せません")
                         .arg(name, nameOf(k).describe())};
    }
  }
  if (s_.cutterCompensation == 41 || s_.cutterCompensation == 42) {
    std::int64_t on = -1;
    for (std::int64_t k = b_ - 1; k >= 0 && on < 0; --k) {
      const BlockRecord& c = at(k);
      if (carriedOut(k) && (c.cutter == 41 || c.cutter == 42) && c.cutterInForce == 40) on = k;
    }
    return Refusal{QStringLiteral("%1 では工具径補正 G%2 が有効です。補正の途中からは再開できません（補正を始めたブロックから再開してください）")
                       .arg(name)
                       .arg(s_.cutterCompensation),
                   on};
  }
  if (at(programEnd_).is(BlockWords::kSubprogramEnd)) {
    return Refusal{QStringLiteral("%1 のプログラムは M99 で終わります（繰り返し運転）。途中から送ると再開プログラムの初めから繰り返されます")
                       .arg(name)};
  }
  if (auto shape = shapeBeforeRestart()) return shape;
  if (auto cycle = cycleWithoutPosition()) return cycle;
  return std::nullopt;
}

// G92 and G52, a rotated, scaled or polar coordinate system, and a lathe's G50 X Z: where the
// program itself moved its coordinates the reading's positions are no longer the control's.
std::optional<Refusal> Builder::coordinateSetting() const {
  std::int64_t rotation = -1;
  std::int64_t scaling = -1;
  std::int64_t polar = -1;
  std::int64_t shift = -1;
  QString shiftCode;
  const std::uint32_t axes = bitOf(Address::X) | bitOf(Address::Y) | bitOf(Address::Z) | bitOf(Address::U) | bitOf(Address::W);
  for (std::int64_t k = 0; k < b_; ++k) {
    if (!carriedOut(k)) continue;
    const BlockRecord& r = at(k);
    if (r.oneShot == 52 || (r.oneShot == 92 && !machine_.lathe()) || (r.oneShot == 50 && machine_.lathe() && (r.found & axes))) {
      shift = k;
      shiftCode = QStringLiteral("G%1").arg(r.oneShot);
    }
    if (r.otherCode == 68) rotation = k;
    if (r.otherCode == 69) rotation = -1;
    if (r.otherCode == 51 && !machine_.lathe()) scaling = k;
    if (r.oneShot == 50 && !machine_.lathe()) scaling = -1;
    if (r.otherCode == 16 && !machine_.lathe()) polar = k;
    if (r.otherCode == 15) polar = -1;
  }
  const auto refuse = [&](std::int64_t k, const QString& code) {
    return Refusal{QStringLiteral("%1 より前の %2 の %3 でプログラムが座標系を変えています。再開プログラムではその座標系を作れません")
                       .arg(nameOf(b_).describe(), nameOf(k).describe(), code)};
  };
  if (shift >= 0) return refuse(shift, shiftCode);
  if (rotation >= 0) return refuse(rotation, QStringLiteral("G68"));
  if (scaling >= 0) return refuse(scaling, QStringLiteral("G51"));
  if (polar >= 0) return refuse(polar, QStringLiteral("G16"));
  return std::nullopt;
}

// A roughing or finishing cycle after the restart block whose shape stands before it: the
// restart program would not hold the shape.
std::optional<Refusal> Builder::shapeBeforeRestart() const {
  if (!machine_.lathe()) return std::nullopt;
  const auto numbered = [&](std::int64_t from, std::int64_t to, double n) {
    for (std::int64_t k = from; k < to; ++k) {
      if (at(k).has(Address::N) && at(k).n == n) return k;
    }
    return std::int64_t{-1};
  };
  for (std::int64_t k = b_; k <= programEnd_; ++k) {
    const BlockRecord& c = at(k);
    if (!(c.motion >= 70 && c.motion <= 73 && c.has(Address::P) && c.has(Address::Q))) continue;
    if (numbered(k + 1, programEnd_ + 1, c.p) >= 0) continue;
    const std::int64_t ns = numbered(programStart_, k, c.p);
    if (ns < 0 || ns >= b_) continue;
    std::int64_t owner = -1;
    for (std::int64_t j = ns - 1; j >= programStart_ && owner < 0; --j) {
      if (at(j).motion >= 71 && at(j).motion <= 73 && at(j).has(Address::P) && at(j).p == c.p) owner = j;
    }
    return Refusal{QStringLiteral("%1 の G%2 は %3 からの形状を使いますが、その形状は %4 より前にあり再開プログラムに入りません")
                       .arg(nameOf(k).describe())
                       .arg(c.motion)
                       .arg(nameOf(ns).describe(), nameOf(b_).describe()),
                   owner};
  }
  return std::nullopt;
}

// Inside a drilling cycle or a lathe's single cycle only a block with a position can start the
// cycle again; any other block would leave the blocks after it without the cycle.
std::optional<Refusal> Builder::cycleWithoutPosition() const {
  if (!continuesCycle()) return std::nullopt;
  const BlockRecord& r = at(b_);
  const bool lathe = machine_.lathe();
  const std::uint32_t position = lathe ? bitOf(Address::X) | bitOf(Address::U) | bitOf(Address::Z) | bitOf(Address::W)
                                       : bitOf(Address::X) | bitOf(Address::Y) | bitOf(Address::Z) | bitOf(Address::R);
  if ((r.found & position) != 0 && r.oneShot == kNoCode) return std::nullopt;
  return Refusal{QStringLiteral("%1 は %2 のサイクルの途中で、位置を持たないブロックです。サイクルの次の位置のブロックから再開してください")
                     .arg(nameOf(b_).describe(), QString::fromLatin1(gCode(s_.cycle))),
                 nextBlockInOrOutOfCycle()};
}

bool Builder::continuesCycle() const {
  if (s_.cycle == 0) return false;
  const BlockRecord& r = at(b_);
  if (machine_.lathe()) return r.motion == kNoCode && latheSingleCycleCode(r) == 0;
  return r.motion == kNoCode || isDrillingCode(r.motion);
}

std::int64_t Builder::nextBlockInOrOutOfCycle() const {
  const bool lathe = machine_.lathe();
  const std::uint32_t position = lathe ? bitOf(Address::X) | bitOf(Address::U) | bitOf(Address::Z) | bitOf(Address::W)
                                       : bitOf(Address::X) | bitOf(Address::Y) | bitOf(Address::Z) | bitOf(Address::R);
  for (std::int64_t k = b_ + 1; k <= programEnd_; ++k) {
    const BlockRecord& r = at(k);
    if (!carriedOut(k) || r.is(BlockWords::kMacro)) continue;
    if (r.cycle == 0 || r.motion != kNoCode || ((r.found & position) != 0 && r.oneShot == kNoCode)) return k;
  }
  return -1;
}

RestartProgram Builder::build() {
  RestartProgram out;
  out.block = nameOf(b_);
  out.minutes = at(b_).minutes;
  words_ = readBlockWords(textOf(b_));
  for (std::int64_t k = b_ - 1; k >= 0; --k) {
    if (at(k).endsProgram) {
      programStart_ = k + 1;
      break;
    }
  }
  programEnd_ = count() - 1;
  for (std::int64_t k = b_; k < count(); ++k) {
    if (at(k).endsProgram) {
      programEnd_ = k;
      break;
    }
  }
  if (const auto refused = refusal()) {
    out.reason = refused->reason;
    if (refused->offer >= 0) out.offer = nameOf(refused->offer);
    return out;
  }
  writeHeader();
  if (!problem_.isEmpty()) {
    out.reason = problem_;
    return out;
  }
  out.header = header_;

  // The block itself, then the rest of its program as written, to the program's end and a "%"
  // after it.
  const BlockPlace& place = at(b_).place;
  const qsizetype afterBlock = place.offset + place.bytes;
  const int blockEnd = rt::lineEndLengthAt(bytes_, afterBlock);
  QByteArray text = header_ + block_ + (blockEnd ? bytes_.sliced(afterBlock, blockEnd).toByteArray() : eol_);
  const auto endOf = [&](std::int64_t k) {
    const qsizetype end = at(k).place.offset + at(k).place.bytes;
    return end + rt::lineEndLengthAt(bytes_, end);
  };
  qsizetype copyEnd = std::max(endOf(programEnd_), afterBlock + blockEnd);
  bool closed = at(programEnd_).is(BlockWords::kPercentOnly) && programEnd_ != b_;
  for (std::int64_t k = programEnd_ + 1; k < count() && !closed; ++k) {
    if (at(k).is(BlockWords::kPercentOnly)) {
      copyEnd = endOf(k);
      closed = true;
    } else if (textOf(k).trimmed().isEmpty()) {
      copyEnd = endOf(k);
    } else {
      break;
    }
  }
  qsizetype from = afterBlock + blockEnd;
  if (laterMotionBlock_ >= 0) {
    const BlockPlace& later = at(laterMotionBlock_).place;
    text += bytes_.sliced(from, later.offset - from).toByteArray();
    text += rt::withWordsInFront(textOf(laterMotionBlock_), laterMotion_);
    from = later.offset + later.bytes;
  }
  if (copyEnd > from) text += bytes_.sliced(from, copyEnd - from).toByteArray();
  if (!closed) {
    if (!text.endsWith('\n') && !text.endsWith('\r')) text += eol_;
    text += "%" + eol_;
  }
  out.text = text;
  out.ok = true;
  return out;
}

}  // namespace korvane::restart

namespace korvane {

namespace rt = restart_text;
using restart::Builder;

QString BlockName::describe() const {
  if (numbered) return QStringLiteral("N%1（%2 行目）").arg(rt::plain(number).constData()).arg(line);
  return QStringLiteral("%1 行目").arg(line);
}

RestartOptions restartOptionsOf(const PortProfile& profile) {
  RestartOptions options;
  options.writeToolChange = asInt(profile.restartToolChange) != 0;
  return options;
}

RestartProgram buildRestartProgram(QByteArrayView program, const QString& displayName, const RestartAt& at,
                                   const MachineModel& machine, const RestartOptions& options) {
  const ProgramRecords records = readProgramRecords(program, displayName, machine, at);
  RestartProgram out = buildRestartProgram(program, records, machine, options);
  if (records.target < 0 && at.selector) {
    out.reason = QStringLiteral("%1 のブロックがありません").arg(at.selector->describe());
  }
  return out;
}

RestartProgram buildRestartProgram(QByteArrayView program, const ProgramRecords& records, const MachineModel& machine,
                                   const RestartOptions& options) {
  if (records.target < 0 || records.target >= static_cast<std::int64_t>(records.blocks.size())) {
    RestartProgram out;
    out.reason = QStringLiteral("再開するブロックがありません");
    return out;
  }
  return Builder(program, records, machine, options).build();
}

}  // namespace korvane
