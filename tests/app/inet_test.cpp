#include <gtest/gtest.h>

#include <QCoreApplication>

#include "app/vberror.h"
#include "bidding/inet.h"
#include "support/simserver.h"

TEST(Inet, aRefusedConnectionEndsWithoutCompletionAndBadHeadersAreRefused) {
  Inet inet;
  QList<int> states;
  QObject::connect(&inet, &Inet::StateChanged, [&](int s) { states.append(s); });
  inet.Execute(QStringLiteral("http://127.0.0.1:1/nothing"));
  EXPECT_TRUE(inet.StillExecuting());
  inet.waitWhileExecuting();
  EXPECT_FALSE(inet.StillExecuting());
  EXPECT_FALSE(states.contains(Inet::kResponseCompleted));

  for (const char* headers :
       {"User-Agent: a\r\nX: b\nInjected: c\r\n", "no colon\r\n", "A: b\r\n\r\nB: c\r\n"}) {
    try {
      inet.Execute(QStringLiteral("http://127.0.0.1:1/"), QString(), QString(),
                   QString::fromLatin1(headers));
      FAIL() << headers;
    } catch (const VbError& e) {
      EXPECT_EQ(e.number(), 5);
      EXPECT_FALSE(inet.StillExecuting());
    }
  }
}

TEST(Inet, completionHandlerHasRunWhenStillExecutingTurnsFalse) {
  sim::Config config;
  config.vendorVersion = "1.03.0007";
  SimServer server(config);
  ASSERT_TRUE(server.ok());
  Inet inet;
  QList<int> states;
  QString body;
  QObject::connect(&inet, &Inet::StateChanged, [&](int s) {
    states.append(s);
    if (s == Inet::kResponseCompleted) {
      QCoreApplication::processEvents();  // handlers may yield
      for (QString piece = inet.GetChunk(3); !piece.isEmpty(); piece = inet.GetChunk(3))
        body += piece;
    }
  });
  inet.Execute(server.baseUrl() + QStringLiteral("/files/update+"), QString(), QString(),
               QStringLiteral("User-Agent: Test\r\n"));
  inet.waitWhileExecuting();
  EXPECT_EQ(states, (QList<int>{7, 8, 12}));
  EXPECT_EQ(body, QStringLiteral("1.03.0007"));
  EXPECT_EQ(inet.status(), 200);
  EXPECT_EQ(inet.GetHeader(QStringLiteral("content-length")), QStringLiteral("9"));
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1);
  EXPECT_EQ(
      requests[0][QStringLiteral("headers")].toObject()[QStringLiteral("User-Agent")].toString(),
      QStringLiteral("Test"));
}
