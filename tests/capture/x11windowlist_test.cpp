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

bool above(const QList<TopLevelWindow>& list, xcb_window_t upper, xcb_window_t lower) {
  qsizetype u = -1, l = -1;
  for (qsizetype i = 0; i < list.size(); ++i) {
    if (list[i].handle == upper) u = i;
    if (list[i].handle == lower) l = i;
  }
  return u >= 0 && l >= 0 && u < l;
}

bool visibleAndBordered(const std::optional<TopLevelWindow>& t) {
  return t && t->visible && t->bordered;
}

const std::vector<uint32_t> kNoDecorations{2, 0, 0, 0, 0};  // _MOTIF_WM_HINTS
constexpr uint32_t kNormalState = 1;
constexpr uint32_t kIconicState = 3;

}  // namespace

// Runs on the display of scripts/test: Xvfb with openbox.
TEST(X11WindowList, underOpenboxReadsTitlesStackingMinimisedAndFramelessWindows) {
  XClient x;
  if (!x.ok() || x.get32(x.root, "_NET_SUPPORTING_WM_CHECK").empty())
    GTEST_SKIP() << "needs an X display with an EWMH window manager (scripts/test starts Xvfb + "
                    "openbox); DISPLAY="
                 << qgetenv("DISPLAY").constData();
  X11WindowList list;
  const QString auction =
      QStringLiteral("eBay Artikel 1234567890 (endet 05.12.26 20:00:00 MEZ) - Grüße aus Köln €");
  const xcb_window_t a = x.create(), b = x.create(), minimised = x.create(), frameless = x.create(),
                     popup = x.create(true), withdrawn = x.create();
  x.setText(a, "_NET_WM_NAME", "UTF8_STRING", auction.toUtf8());
  x.setText(a, "WM_NAME", "STRING", "not read while _NET_WM_NAME is there");
  x.setText(b, "WM_NAME", "STRING",
            "B\xfcro M\xf6"
            "bel");  // Latin-1
  x.set32(frameless, "_MOTIF_WM_HINTS", kNoDecorations);
  for (xcb_window_t w : {a, minimised, frameless, popup, withdrawn}) x.map(w);
  ASSERT_TRUE(waitFor([&] { return above(list.windows(), withdrawn, a); }));
  x.map(b);
  ASSERT_TRUE(waitFor([&] { return above(list.windows(), b, a); }))
      << "a newly mapped window comes on top";

  x.tellManager(minimised, "WM_CHANGE_STATE", {kIconicState});
  x.unmap(withdrawn);
  x.tellManager(a, "_NET_ACTIVE_WINDOW", {2, XCB_CURRENT_TIME, 0});
  ASSERT_TRUE(waitFor([&] {
    const auto l = list.windows();
    const auto st = x.get32(minimised, "WM_STATE");
    const auto w = find(l, withdrawn);
    return above(l, a, b) && !st.empty() && st.front() == kIconicState && (!w || !w->visible);
  })) << "the raised window comes first, the minimised one is iconic, the withdrawn one hidden";

  const QList<TopLevelWindow> l = list.windows();
  ASSERT_TRUE(find(l, a) && find(l, b));
  EXPECT_EQ(find(l, a)->title, auction);
  EXPECT_EQ(find(l, b)->title, QStringLiteral("Büro Möbel"));
  EXPECT_TRUE(visibleAndBordered(find(l, a)) && visibleAndBordered(find(l, b)));
  EXPECT_TRUE(visibleAndBordered(find(l, minimised)));
  ASSERT_TRUE(find(l, frameless));
  EXPECT_TRUE(find(l, frameless)->visible);
  EXPECT_FALSE(find(l, frameless)->bordered);
  EXPECT_FALSE(find(l, popup) && find(l, popup)->bordered);
}

TEST(X11WindowList, withoutAManagerMappedWindowsCountAndAServerThatGoesAwayIsSurvived) {
  PrivateXServer server;
  if (server.display().isEmpty()) GTEST_SKIP() << "Xvfb could not be started";
  XClient x(server.display());
  ASSERT_TRUE(x.ok());
  X11WindowList list(server.display());
  const xcb_window_t a = x.create(), b = x.create(), unmapped = x.create(), popup = x.create(true);
  x.setText(a, "_NET_WM_NAME", "UTF8_STRING", "Erstes");
  for (xcb_window_t w : {a, b, popup}) x.map(w);

  QList<TopLevelWindow> l = list.windows();
  ASSERT_TRUE(find(l, a) && find(l, unmapped) && find(l, popup));
  EXPECT_TRUE(above(l, popup, b) && above(l, b, a));
  EXPECT_EQ(find(l, a)->title, QStringLiteral("Erstes"));
  EXPECT_TRUE(visibleAndBordered(find(l, a)));
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
  if (server.display().isEmpty()) GTEST_SKIP() << "Xvfb could not be started";
  XClient wm(server.display());
  ASSERT_TRUE(wm.ok());
  // This connection plays a simple manager: it holds the root's redirection and puts clients
  // into frames of its own.
  const uint32_t redirect = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
  xcb_change_window_attributes(wm.c, wm.root, XCB_CW_EVENT_MASK, &redirect);
  auto framed = [&](const char* title, uint32_t state, bool mapped) {
    const xcb_window_t frame = wm.create(), client = wm.create(false, frame);
    wm.setText(client, "WM_NAME", "STRING", title);
    wm.set32(client, "WM_STATE", {state, 0});
    wm.map(client);
    if (mapped) wm.map(frame);
    return client;
  };
  const xcb_window_t normal = framed("Normal", kNormalState, true);
  const xcb_window_t iconic = framed("Minimiert", kIconicState, false);
  const xcb_window_t withdrawn = framed("Zurueckgezogen", 0, false);
  const xcb_window_t frameless = wm.create();
  wm.set32(frameless, "WM_STATE", {kNormalState, 0});
  wm.set32(frameless, "_MOTIF_WM_HINTS", kNoDecorations);
  wm.map(frameless);

  const QList<TopLevelWindow> l = X11WindowList(server.display()).windows();
  ASSERT_TRUE(find(l, normal) && find(l, iconic) && find(l, withdrawn) && find(l, frameless));
  EXPECT_EQ(find(l, normal)->title, QStringLiteral("Normal"));
  EXPECT_TRUE(visibleAndBordered(find(l, normal)) && visibleAndBordered(find(l, iconic)));
  EXPECT_FALSE(find(l, withdrawn)->visible);
  EXPECT_TRUE(find(l, frameless)->visible);
  EXPECT_FALSE(find(l, frameless)->bordered);
  EXPECT_EQ(l.first().handle, frameless);
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
