#include <gtest/gtest.h>

#include "app/vberror.h"
#include "bidding/inet.h"

// A header value with its own line break, or a line without a colon, would add a header of its
// own to the request, and one without a name is none: they are refused before anything is sent.
TEST(Inet, headersThatCouldAddALineAreRefused) {
  Inet inet;
  for (const char* headers : {"User-Agent: a\r\nX: b\nInjected: c\r\n", "no colon\r\n",
                              ": no name\r\n", "A: b\r\n\r\nB: c\r\n"}) {
    try {
      inet.Execute("http://127.0.0.1:1/", QString(), QString(), QString::fromLatin1(headers));
      ADD_FAILURE() << headers;
    } catch (const VbError& e) {
      EXPECT_EQ(e.number(), 5) << headers;
      EXPECT_FALSE(inet.StillExecuting()) << headers;
    }
  }
}
