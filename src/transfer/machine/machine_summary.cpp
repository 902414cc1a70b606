#include "transfer/machine/machine_summary.h"

#include <QJsonArray>
#include <cmath>

namespace korvane {

namespace {

// Rounded for reading; the counts stay exact.
double rounded(double value, int decimals = 3) {
  const double scale = std::pow(10.0, decimals);
  return std::round(value * scale) / scale;
}

}  // namespace

QString tapeCodeName(TapeCode code) { return code == TapeCode::Eia ? QStringLiteral("eia") : QStringLiteral("iso"); }

QJsonObject readerSummary(const TapeReaderModel& model, const ReaderSessionInfo& session) {
  const ReaderConfig& c = model.config();
  const ReaderStats& s = model.stats();
  const TapeDecoder& d = model.decoder();
  const double lineRate = c.frame.characterRate(c.baud);
  // From the first arrival to the end of the last character taken, which occupies one
  // character time of the reader like every other.
  const double lastCharacterMs = c.takeRate() > 0 ? 1000.0 / c.takeRate() : 0.0;
  const double elapsedS = s.firstArrivalMs >= 0 && s.taken > 0
                              ? (s.lastTakeMs - s.firstArrivalMs + lastCharacterMs) / 1000.0
                              : 0.0;
  const double cps = elapsedS > 0 ? double(s.taken) / elapsedS : 0.0;
  const double executingCps = s.executingMs > 0 ? s.executedCharacters * 1000.0 / s.executingMs : 0.0;

  QJsonArray stored;
  for (const StoredProgram& p : session.stored) {
    stored.append(QJsonObject{{QStringLiteral("file"), p.file},
                              {QStringLiteral("number"), p.number},
                              {QStringLiteral("blocks"), p.blocks},
                              {QStringLiteral("complete"), p.complete}});
  }

  QJsonObject o;
  o[QStringLiteral("mode")] = QStringLiteral("read");
  o[QStringLiteral("code")] = tapeCodeName(c.code);
  o[QStringLiteral("baud")] = c.baud;
  o[QStringLiteral("frame")] = c.frame.text();
  o[QStringLiteral("line_rate_cps")] = rounded(lineRate);
  o[QStringLiteral("take_rate_cps")] = rounded(c.takeRate());
  o[QStringLiteral("buffer")] = c.bufferSize;
  o[QStringLiteral("flow")] = c.bufferSize > 0 && c.xonXoff ? QStringLiteral("xon") : QStringLiteral("none");
  o[QStringLiteral("margin")] = c.effectiveMargin();
  o[QStringLiteral("high_water")] = c.highWater();
  o[QStringLiteral("low_water")] = c.lowWater();
  o[QStringLiteral("characters")] = double(s.characters);
  o[QStringLiteral("taken")] = double(s.taken);
  o[QStringLiteral("program_characters")] = d.programCharacters();
  o[QStringLiteral("programs")] = d.programsRead();
  o[QStringLiteral("incomplete_programs")] = d.incompletePrograms();
  o[QStringLiteral("transmissions")] = session.transmissions;
  o[QStringLiteral("dc2_received")] = d.transmissionsStarted();
  o[QStringLiteral("dc4_received")] = d.transmissionsEnded();
  o[QStringLiteral("stored")] = stored;
  o[QStringLiteral("parity_errors")] = d.parityErrors();
  o[QStringLiteral("unknown_codes")] = d.unknownCodes();
  o[QStringLiteral("overruns")] = double(s.overruns);
  o[QStringLiteral("lost")] = double(s.lost);
  o[QStringLiteral("dc3_sent")] = s.dc3Sent;
  o[QStringLiteral("dc1_sent")] = s.dc1Sent;
  o[QStringLiteral("start_requests")] = session.startRequests;
  o[QStringLiteral("bytes_after_dc3")] = double(s.bytesAfterDc3);
  o[QStringLiteral("bytes_after_dc3_late")] = double(s.bytesAfterDc3Late);
  o[QStringLiteral("max_bytes_after_dc3")] = s.maxBytesAfterDc3;
  o[QStringLiteral("resume_samples")] = s.resumeSamples;
  o[QStringLiteral("max_resume_latency_ms")] = rounded(s.maxResumeLatencyMs);
  o[QStringLiteral("max_buffer_level")] = s.maxBufferLevel;
  o[QStringLiteral("starvations")] = s.starvations;
  o[QStringLiteral("starvation_ms")] = rounded(s.starvationMs);
  o[QStringLiteral("elapsed")] = rounded(elapsedS);
  o[QStringLiteral("chars_per_second")] = rounded(cps);
  o[QStringLiteral("throughput_ratio")] = lineRate > 0 ? rounded(cps / lineRate, 4) : 0.0;
  o[QStringLiteral("executing_chars_per_second")] = rounded(executingCps);
  return o;
}

QJsonObject punchSummary(const TapePunch& punch, const PunchSessionInfo& session) {
  const double elapsedS = punch.firstByteMs() >= 0 && punch.lastByteMs() > punch.firstByteMs()
                              ? (punch.lastByteMs() - punch.firstByteMs()) / 1000.0
                              : 0.0;
  const double cps = elapsedS > 0 ? double(punch.bytesSent()) / elapsedS : 0.0;
  QJsonObject o;
  o[QStringLiteral("mode")] = QStringLiteral("punch");
  o[QStringLiteral("code")] = tapeCodeName(session.code);
  o[QStringLiteral("baud")] = session.baud;
  o[QStringLiteral("frame")] = session.frame;
  o[QStringLiteral("line_rate_cps")] = rounded(session.characterRate);
  o[QStringLiteral("programs")] = session.programs;
  o[QStringLiteral("dropped_characters")] = session.dropped;
  o[QStringLiteral("stream_bytes")] = double(session.streamBytes);
  o[QStringLiteral("characters")] = double(punch.bytesSent());
  o[QStringLiteral("punches")] = punch.completedPunches();
  o[QStringLiteral("dc1_received")] = punch.dc1Received();
  o[QStringLiteral("dc3_received")] = punch.dc3Received();
  o[QStringLiteral("elapsed")] = rounded(elapsedS);
  o[QStringLiteral("chars_per_second")] = rounded(cps);
  return o;
}

}  // namespace korvane
