// The telnet codec of the device-server ports on arbitrary bytes from the network: data escaped
// and sent comes back as it was, whatever commands surround it and wherever the reads are cut;
// the negotiation answers every event without ever answering twice the same way in a row.
#include <algorithm>

#include "fuzz_support.h"
#include "platform/network/telnet_codec.h"

using namespace korvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The first byte chooses where the reads are cut; the rest is what the server sends.
  const size_t cut = data[0] % 17 + 1;
  const QByteArrayView stream(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

  // Whatever arrives: the codec takes it in any cutting and gives the same data and events.
  telnet::Decoder whole;
  QByteArray wholeData;
  std::vector<telnet::Event> wholeEvents;
  whole.feed(stream, &wholeData, &wholeEvents);
  telnet::Decoder pieces;
  QByteArray piecesData;
  std::vector<telnet::Event> piecesEvents;
  for (qsizetype at = 0; at < stream.size(); at += static_cast<qsizetype>(cut)) {
    pieces.feed(stream.sliced(at, std::min<qsizetype>(static_cast<qsizetype>(cut), stream.size() - at)), &piecesData,
                &piecesEvents);
  }
  if (wholeData != piecesData || wholeEvents.size() != piecesEvents.size()) fuzz::fail("the cut changed what was read");
  telnet::Options options;
  options.wantLocal(telnet::kOptBinary);
  options.wantRemote(telnet::kOptComPort);
  for (size_t i = 0; i < wholeEvents.size(); ++i) {
    if (wholeEvents[i].payload != piecesEvents[i].payload || wholeEvents[i].option != piecesEvents[i].option) {
      fuzz::fail("the cut changed an event");
    }
    const QByteArray reply = options.handle(wholeEvents[i]);
    if (reply.size() > 3) fuzz::fail("a negotiation reply longer than one command");
  }

  // What korvane sends: the same bytes escaped read back unchanged, between commands.
  const QByteArray sent = telnet::command(telnet::kWill, telnet::kOptBinary) + telnet::escape(stream) +
                          telnet::comPortByte(telnet::kSetParity, telnet::kParityEven);
  telnet::Decoder back;
  QByteArray backData;
  std::vector<telnet::Event> backEvents;
  back.feed(sent, &backData, &backEvents);
  if (backData != stream.toByteArray() || backEvents.size() != 2) fuzz::fail("escaped data did not read back");
  return 0;
}
