#include <gtest/gtest.h>

#include <optional>

#include "platform/linux/x11windowlist.h"
#include "xclient.h"

namespace {

std::optional<TopLevelWindow> find(const QList<TopLevelWindow>& list, xcb_window_t w) {
  for (const TopLevelWindow& t : list)
    if (t.handle == w) return t;
  return std::nullopt;
}

// Index of a window in the list (topmost 0), -1 when absent.
qsizetype indexOf(const QList<TopLevelWindow>& list, xcb_window_t w) {
  for (qsizetype i = 0; i < list.size(); ++i)
    if (list[i].handle == w) return i;
  return -1;
}

bool above(const QList<TopLevelWindow>& list, xcb_window_t upper, xcb_window_t lower) {
  return indexOf(list, upper) >= 0 && indexOf(list, upper) < indexOf(list, lower);
}

constexpr uint32_t kNormalState = 1;
constexpr uint32_t kIconicState = 3;

}  // namespace

// Runs on the display of scripts/test: Xvfb with openbox.
TEST(X11WindowList, underOpenboxReadsTitlesStackingMinimisedAndFramelessWindows) {
  XClient x;
  if (!x.ok() || !x.hasEwmhManager())
    GTEST_SKIP() << "needs an X display with an EWMH window manager (scripts/test starts Xvfb + "
                    "openbox); DISPLAY="
                 << qgetenv("DISPLAY").constData();
  X11WindowList list;
  const QString auction =
      QStringLiteral("eBay Artikel 1234567890 (endet 05.12.26 20:00:00 MEZ) - Grüße aus Köln €");
  const xcb_window_t a = x.create();
  x.setUtf8Title(a, auction);
  x.setWmName(a, "not read while _NET_WM_NAME is there");
  const xcb_window_t b = x.create();
  x.setWmName(b,
              "B\xfcro M\xf6"
              "bel");  // Latin-1
  const xcb_window_t minimised = x.create();
  x.setWmName(minimised, "minimiert");
  const xcb_window_t frameless = x.create();
  x.setWmName(frameless, "rahmenlos");
  x.setNoDecorations(frameless);
  const xcb_window_t popup = x.create(true);
  x.setWmName(popup, "popup");
  const xcb_window_t withdrawn = x.create();
  x.setWmName(withdrawn, "zurueckgezogen");
  for (xcb_window_t w : {a, minimised, frameless, popup, withdrawn}) x.map(w);
  ASSERT_TRUE(waitFor([&] { return above(list.windows(), withdrawn, a); }));
  x.map(b);
  ASSERT_TRUE(waitFor([&] { return above(list.windows(), b, a); }))
      << "a newly mapped window comes on top";

  x.iconify(minimised);
  x.unmap(withdrawn);
  x.activate(a);
  ASSERT_TRUE(waitFor([&] {
    const auto st = x.cardinals(minimised, "WM_STATE");
    const auto l = list.windows();
    const auto w = find(l, withdrawn);
    return above(l, a, b) && !st.empty() && st.front() == kIconicState && (!w || !w->visible);
  })) << "the raised window comes first, the minimised one is iconic, the withdrawn one hidden";

  const QList<TopLevelWindow> l = list.windows();
  EXPECT_EQ(find(l, a)->title, auction);
  EXPECT_EQ(find(l, b)->title, QStringLiteral("Büro Möbel"));
  for (xcb_window_t w : {a, b, minimised}) {
    ASSERT_TRUE(find(l, w));
    EXPECT_TRUE(find(l, w)->visible && find(l, w)->bordered) << find(l, w)->title.toStdString();
  }
  ASSERT_TRUE(find(l, frameless));
  EXPECT_TRUE(find(l, frameless)->visible);
  EXPECT_FALSE(find(l, frameless)->bordered);
  EXPECT_FALSE(find(l, popup) && find(l, popup)->bordered);
}

TEST(X11WindowList, withoutAManagerMappedWindowsCountAndAServerThatGoesAwayIsSurvived) {
  PrivateXServer server;
  if (!server.ok()) GTEST_SKIP() << "Xvfb could not be started";
  XClient x(server.display());
  ASSERT_TRUE(x.ok());
  X11WindowList list(server.display());
  const xcb_window_t a = x.create();
  x.setUtf8Title(a, QStringLiteral("Erstes"));
  const xcb_window_t b = x.create();
  const xcb_window_t unmapped = x.create();
  const xcb_window_t popup = x.create(true);
  for (xcb_window_t w : {a, b, popup}) x.map(w);

  QList<TopLevelWindow> l = list.windows();
  ASSERT_TRUE(find(l, a) && find(l, b) && find(l, unmapped) && find(l, popup));
  EXPECT_TRUE(above(l, popup, b) && above(l, b, a));
  EXPECT_EQ(find(l, a)->title, QStringLiteral("Erstes"));
  EXPECT_TRUE(find(l, a)->visible && find(l, a)->bordered);
  EXPECT_FALSE(find(l, unmapped)->visible);
  EXPECT_FALSE(find(l, popup)->bordered);
  x.raise(a);
  EXPECT_TRUE(above(list.windows(), a, b));

  server.kill();
  EXPECT_TRUE(list.windows().isEmpty());
  EXPECT_TRUE(list.windows().isEmpty());
}

TEST(X11WindowList, underAReparentingManagerWithoutEwmhTheClientInsideTheFrameIsListed) {
  PrivateXServer server;
  if (!server.ok()) GTEST_SKIP() << "Xvfb could not be started";
  XClient wm(server.display());
  ASSERT_TRUE(wm.ok());
  // This connection plays a simple manager: it holds the root's redirection and puts clients
  // into frames of its own.
  const uint32_t redirect = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
  xcb_change_window_attributes(wm.connection(), wm.root(), XCB_CW_EVENT_MASK, &redirect);
  auto framed = [&](const char* title, uint32_t state, bool mapped) {
    const xcb_window_t frame = wm.create();
    const xcb_window_t client = wm.create(false, frame);
    wm.setWmName(client, title);
    wm.setWmState(client, state);
    wm.map(client);
    if (mapped) wm.map(frame);
    return client;
  };
  const xcb_window_t normal = framed("Normal", kNormalState, true);
  const xcb_window_t iconic = framed("Minimiert", kIconicState, false);
  const xcb_window_t withdrawn = framed("Zurueckgezogen", 0, false);
  const xcb_window_t frameless = wm.create();
  wm.setWmState(frameless, kNormalState);
  wm.setNoDecorations(frameless);
  wm.map(frameless);

  const QList<TopLevelWindow> l = X11WindowList(server.display()).windows();
  ASSERT_TRUE(find(l, normal) && find(l, iconic) && find(l, withdrawn) && find(l, frameless));
  EXPECT_EQ(find(l, normal)->title, QStringLiteral("Normal"));
  EXPECT_TRUE(find(l, normal)->visible && find(l, normal)->bordered);
  EXPECT_TRUE(find(l, iconic)->visible);
  EXPECT_FALSE(find(l, withdrawn)->visible);
  EXPECT_TRUE(find(l, frameless)->visible);
  EXPECT_FALSE(find(l, frameless)->bordered);
  EXPECT_EQ(indexOf(l, frameless), 0);
}

TEST(X11WindowList, withoutADisplayTheListIsEmptyAndThatIsSaidOnce) {
  testing::internal::CaptureStderr();
  X11WindowList list(":32767");
  EXPECT_TRUE(list.windows().isEmpty());
  EXPECT_TRUE(list.windows().isEmpty());
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("no X display"), std::string::npos) << err;
  EXPECT_EQ(err.find("no X display"), err.rfind("no X display")) << err;
}

TEST(X11Text, compoundTextKeepsLatin1AndUtf8SegmentsAndMarksOtherSets) {
  using x11text::compoundText;
  EXPECT_EQ(compoundText("Gr\xfc\xdf"
                         "e \x1b%G\xe2\x82\xac\x1b%@ 5"),
            QStringLiteral("Grüße € 5"));
  // Latin-2 and a two-byte set in between, then Latin-1 and ASCII again.
  EXPECT_EQ(compoundText("\x1b-B\xb1z\x1b-A\xe9\x1b$(B\x30\x21\x30\x22\x1b(Bx"),
            QStringLiteral("?zé??x"));
  EXPECT_EQ(x11text::decodeTitle(QByteArray("eBay\0Rest", 9), false, false),
            QStringLiteral("eBay"));
}
