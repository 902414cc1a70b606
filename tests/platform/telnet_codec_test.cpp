// The telnet and COM port control codec on its own: data and commands survive any cut of the
// stream, 0xFF is doubled and undoubled, and two ends agree on their options without a loop.
#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <vector>

#include "platform/network/rfc2217_client.h"
#include "platform/network/rfc2217_server.h"
#include "platform/network/telnet_codec.h"

namespace korvane::test {
namespace {

using namespace korvane::telnet;

TEST(TelnetCodec, DataAndCommandsComeBackWhateverTheCuts) {
  QRandomGenerator random(2217);
  for (int round = 0; round < 200; ++round) {
    // An independent reading: what was put in, piece by piece.
    QByteArray wire;
    QByteArray expectedData;
    std::vector<Event> expectedEvents;
    for (int piece = 0; piece < 20; ++piece) {
      const int kind = random.bounded(4);
      if (kind == 0) {
        QByteArray payload;
        for (int i = random.bounded(6); i > 0; --i) payload.append(char(random.bounded(256)));
        const quint8 option = quint8(random.bounded(256));
        wire += subnegotiation(option, payload);
        expectedEvents.push_back({Event::Kind::Subnegotiation, option, payload});
      } else if (kind == 1) {
        const quint8 verbs[] = {kWill, kWont, kDo, kDont};
        const Event::Kind kinds[] = {Event::Kind::Will, Event::Kind::Wont, Event::Kind::Do, Event::Kind::Dont};
        const int v = random.bounded(4);
        const quint8 option = quint8(random.bounded(256));
        wire += command(verbs[v], option);
        expectedEvents.push_back({kinds[v], option, {}});
      } else {
        QByteArray data;
        for (int i = random.bounded(8); i > 0; --i) data.append(char(random.bounded(2) ? 0xFF : random.bounded(256)));
        wire += escape(data);
        expectedData += data;
      }
    }
    Decoder decoder;
    QByteArray data;
    std::vector<Event> events;
    for (qsizetype at = 0; at < wire.size();) {
      const qsizetype cut = std::min<qsizetype>(wire.size() - at, 1 + random.bounded(5));
      decoder.feed(QByteArrayView(wire).sliced(at, cut), &data, &events);
      at += cut;
    }
    ASSERT_EQ(data, expectedData) << "round " << round;
    ASSERT_EQ(events.size(), expectedEvents.size()) << "round " << round;
    for (size_t i = 0; i < events.size(); ++i) {
      EXPECT_EQ(events[i].kind, expectedEvents[i].kind);
      EXPECT_EQ(events[i].option, expectedEvents[i].option);
      EXPECT_EQ(events[i].payload, expectedEvents[i].payload);
    }
  }
}

TEST(TelnetCodec, IacIsDoubledOnTheWireAndInSubnegotiations) {
  EXPECT_EQ(escape(QByteArray::fromHex("41ff42")), QByteArray::fromHex("41ffff42"));
  // SET-BAUDRATE 0x0000FFFF: both 0xFF of the value doubled inside IAC SB ... IAC SE.
  EXPECT_EQ(comPort(kSetBaudRate, baudValue(0xFFFF)), QByteArray::fromHex("fffa2c010000ffffffffff" "f0"));
  EXPECT_EQ(readBaudValue(baudValue(115200)), 115200u);
}

// Runs both ends against each other until neither has anything more to say.
int converse(Rfc2217Client& client, Rfc2217Server& server, QByteArray toServer, QByteArray toClient,
             QByteArray* dataAtServer = nullptr, QByteArray* dataAtClient = nullptr) {
  int rounds = 0;
  QByteArray ignored;
  while ((!toServer.isEmpty() || !toClient.isEmpty()) && rounds < 100) {
    ++rounds;
    const QByteArray a = server.receive(std::exchange(toServer, {}), dataAtServer ? dataAtServer : &ignored);
    const QByteArray b = client.receive(std::exchange(toClient, {}), dataAtClient ? dataAtClient : &ignored);
    toClient += a;
    toServer += b;
  }
  return rounds;
}

TEST(Rfc2217Codec, ClientAndServerAgreeAndTheLineSettingsAreAnswered) {
  Rfc2217Client client;
  Rfc2217Server server;
  EXPECT_LT(converse(client, server, client.start(), server.start()), 10);
  EXPECT_TRUE(client.accepted());
  EXPECT_FALSE(client.refused());
  EXPECT_TRUE(server.comPortOn());

  LineSettings line;
  line.rate = 4800;
  line.parity = 'E';
  line.dataBits = 7;
  line.stopBits = 2;
  converse(client, server, client.setLine(line) + client.setFlowControl(kOutboundXonXoff, kInboundXonXoff), {});
  EXPECT_TRUE(client.lineConfirmed());
  EXPECT_TRUE(client.mismatch().isEmpty());
  EXPECT_EQ(server.baudRate(), 4800u);
  EXPECT_EQ(server.dataBits(), 7);
  EXPECT_EQ(server.parity(), kParityEven);
  EXPECT_EQ(server.stopBits(), kStopTwo);
  EXPECT_EQ(server.controls(), (std::vector<quint8>{kOutboundXonXoff, kInboundXonXoff}));

  // Data with 0xFF both ways, between commands.
  QByteArray atServer, atClient;
  converse(client, server, Rfc2217Client::data(QByteArray::fromHex("ff00ff")),
           Rfc2217Server::data(QByteArray::fromHex("93ff")) + server.notifyModemState(kModemCd) + server.flowControl(true),
           &atServer, &atClient);
  EXPECT_EQ(atServer, QByteArray::fromHex("ff00ff"));
  EXPECT_EQ(atClient, QByteArray::fromHex("93ff"));
  EXPECT_TRUE(client.suspended());
  ASSERT_TRUE(client.modemState());
  EXPECT_EQ(*client.modemState(), kModemCd);
  converse(client, server, {}, server.notifyModemState(0));
  ASSERT_TRUE(client.modemState());
  EXPECT_EQ(*client.modemState(), 0);
  converse(client, server, {}, server.flowControl(false));
  EXPECT_FALSE(client.suspended());
}

TEST(Rfc2217Codec, LinesNeverReportedAssertedAreNotReported) {
  // A device server in front of a pseudo-terminal or a three-wire cable reports every line down.
  Rfc2217Client client;
  Rfc2217Server server;
  converse(client, server, client.start(), server.start() + server.notifyModemState(0));
  EXPECT_FALSE(client.modemState());
  converse(client, server, {}, server.notifyModemState(kModemDsr));
  ASSERT_TRUE(client.modemState());
  EXPECT_EQ(*client.modemState(), kModemDsr);
}

TEST(Rfc2217Codec, ServerWithoutComPortControlIsSeenRefusing) {
  Rfc2217Client client;
  Rfc2217Server plainTelnet(false);
  converse(client, plainTelnet, client.start(), plainTelnet.start());
  EXPECT_FALSE(client.accepted());
  EXPECT_TRUE(client.refused());
}

TEST(Rfc2217Codec, AnswerWithAnotherValueIsAMismatch) {
  Rfc2217Client client;
  QByteArray data;
  client.receive(command(kDo, kOptComPort), &data);
  LineSettings line;
  line.rate = 256000;
  client.setLine(line);
  // The server took 230400 instead, and confirmed the rest.
  QByteArray answers = comPort(kSetBaudRate + kServerOffset, baudValue(230400));
  answers += comPortByte(kSetDataSize + kServerOffset, 8) + comPortByte(kSetParity + kServerOffset, kParityNone) +
             comPortByte(kSetStopSize + kServerOffset, kStopOne);
  client.receive(answers, &data);
  EXPECT_TRUE(client.lineConfirmed());
  EXPECT_TRUE(client.mismatch().contains(QStringLiteral("256000"))) << client.mismatch().toStdString();
  EXPECT_TRUE(data.isEmpty());
}

TEST(TelnetOptions, OptionsNobodyWantsAreRefusedOnceAndNeverLoop) {
  Options a, b;
  a.wantLocal(kOptBinary);
  // b asks for echo and binary; a refuses echo and agrees to binary.
  b.wantRemote(kOptEcho);
  b.wantRemote(kOptBinary);
  QByteArray toA = b.offer();
  QByteArray toB = a.offer();
  Decoder da, db;
  for (int round = 0; round < 10; ++round) {
    QByteArray ignored;
    std::vector<Event> ea, eb;
    da.feed(std::exchange(toA, {}), &ignored, &ea);
    db.feed(std::exchange(toB, {}), &ignored, &eb);
    for (const Event& e : ea) toB += a.handle(e);
    for (const Event& e : eb) toA += b.handle(e);
  }
  EXPECT_TRUE(toA.isEmpty() && toB.isEmpty());
  EXPECT_TRUE(a.localOn(kOptBinary));
  EXPECT_TRUE(b.remoteOn(kOptBinary));
  EXPECT_FALSE(b.remoteOn(kOptEcho));
}

}  // namespace
}  // namespace korvane::test
