#include <gtest/gtest.h>

#include "platform/linux/x11windowlist.h"
#include "xclient.h"

namespace {

qsizetype indexOf(const QList<TopLevelWindow>& list, xcb_window_t w) {
  for (qsizetype i = 0; i < list.size(); ++i)
    if (list[i].handle == w) return i;
  return -1;
}

bool above(const QList<TopLevelWindow>& list, xcb_window_t upper, xcb_window_t lower) {
  const qsizetype u = indexOf(list, upper), l = indexOf(list, lower);
  return u >= 0 && l >= 0 && u < l;
}

// How the list shows a window: "title: visible bordered", "title: visible", "title: hidden",
// or "missing".
QString entry(const QList<TopLevelWindow>& list, xcb_window_t w) {
  const qsizetype i = indexOf(list, w);
  if (i < 0) return QStringLiteral("missing");
  const TopLevelWindow& t = list[i];
  return t.title + (!t.visible ? ": hidden" : t.bordered ? ": visible bordered" : ": visible");
}

const std::vector<uint32_t> kNoDecorations{2, 0, 0, 0, 0};  // _MOTIF_WM_HINTS
constexpr uint32_t kNormalState = 1;
constexpr uint32_t kIconicState = 3;

// Windows by their _NET_WM_WINDOW_TYPE list ("" for none) and whether they ask for no
// decorations, as browsers drawing their own title bar do; what the list must show of each.
struct Typed {
  std::vector<const char*> types;
  bool undecorated;
  const char* shown;
};
const Typed kTypedWindows[] = {
    {{}, true, "visible bordered"},
    {{"NORMAL"}, true, "visible bordered"},
    {{"DIALOG"}, false, "visible bordered"},
    {{"_KDE_NET_WM_WINDOW_TYPE_OVERRIDE", "NORMAL"}, true, "visible bordered"},
    {{"DOCK"}, true, "visible"},
    {{"DESKTOP"}, true, "visible"},
    {{"SPLASH"}, false, "visible"},
    {{"NOTIFICATION"}, false, "visible"},
    {{"TOOLTIP"}, false, "visible"},
    {{"MENU"}, false, "visible"},
    {{"POPUP_MENU", "NORMAL"}, false, "visible"},
};

// Creates the windows of kTypedWindows, titled "typed 0", "typed 1", ...
std::vector<xcb_window_t> createTyped(XClient& x) {
  std::vector<xcb_window_t> out;
  for (size_t i = 0; i < std::size(kTypedWindows); ++i) {
    const Typed& t = kTypedWindows[i];
    const xcb_window_t w = x.create();
    x.setText(w, "WM_NAME", "STRING", "typed " + QByteArray::number(qulonglong(i)));
    std::vector<uint32_t> atoms;
    for (const char* type : t.types) {
      const QByteArray name =
          type[0] == '_' ? QByteArray(type) : "_NET_WM_WINDOW_TYPE_" + QByteArray(type);
      atoms.push_back(x.atom(name.constData()));
    }
    if (!atoms.empty()) x.setAtoms(w, "_NET_WM_WINDOW_TYPE", atoms);
    if (t.undecorated) x.set32(w, "_MOTIF_WM_HINTS", kNoDecorations);
    out.push_back(w);
  }
  return out;
}

// The windows of createTyped() that the list does not show as expected.
QStringList wronglyShown(const QList<TopLevelWindow>& list, const std::vector<xcb_window_t>& typed,
                         bool notListedIsRight) {
  QStringList wrong;
  for (size_t i = 0; i < typed.size(); ++i) {
    const QString want = QStringLiteral("typed %1: %2").arg(i).arg(kTypedWindows[i].shown);
    const QString got = entry(list, typed[i]);
    const bool missingIsRight = notListedIsRight && !want.endsWith(QStringLiteral("bordered"));
    if (got != want && !(got == QStringLiteral("missing") && missingIsRight))
      wrong << got + QStringLiteral(" instead of ") + want;
  }
  return wrong;
}

}  // namespace

// Runs on the display of scripts/test: Xvfb with openbox.
TEST(X11WindowList, underOpenboxReadsTitlesStackingMinimisedAndUndecoratedWindows) {
  XClient x;
  if (!x.ok() || !x.get32(x.root, "_NET_SUPPORTING_WM_CHECK"))
    GTEST_SKIP() << "needs an X display with an EWMH window manager (scripts/test starts Xvfb + "
                    "openbox); DISPLAY="
                 << qgetenv("DISPLAY").constData();
  X11WindowList list;
  const QString auction =
      QStringLiteral("eBay Artikel 1234567890 (endet 05.12.26 20:00:00 MEZ) - Grüße aus Köln €");
  const xcb_window_t a = x.create(), b = x.create(), minimised = x.create(), popup = x.create(true),
                     withdrawn = x.create();
  const std::vector<xcb_window_t> typed = createTyped(x);
  x.setText(a, "_NET_WM_NAME", "UTF8_STRING", auction.toUtf8());
  x.setText(a, "WM_NAME", "STRING", "not read while _NET_WM_NAME is there");
  x.setText(b, "WM_NAME", "STRING", "B\xfcro");  // Latin-1
  x.setText(minimised, "WM_NAME", "STRING", "Minimiert");
  x.set32(minimised, "_MOTIF_WM_HINTS", kNoDecorations);
  for (xcb_window_t w : {a, minimised, popup, withdrawn}) x.map(w);
  for (xcb_window_t w : typed) x.map(w);
  ASSERT_TRUE(waitFor([&] { return above(list.windows(), withdrawn, a); }));
  x.map(b);
  ASSERT_TRUE(waitFor([&] { return above(list.windows(), b, a); }))
      << "a newly mapped window comes on top";

  x.tellManager(minimised, "WM_CHANGE_STATE", {kIconicState});
  x.map(withdrawn, false);
  x.tellManager(a, "_NET_ACTIVE_WINDOW", {2, XCB_CURRENT_TIME, 0});
  ASSERT_TRUE(waitFor([&] {
    const auto l = list.windows();
    return above(l, a, b) && x.get32(minimised, "WM_STATE") == kIconicState &&
           QStringList({"missing", ": hidden"}).contains(entry(l, withdrawn));
  })) << "the raised window comes first, the minimised one is iconic, the withdrawn one hidden";

  const QList<TopLevelWindow> l = list.windows();
  EXPECT_EQ(entry(l, a), auction + ": visible bordered");
  EXPECT_EQ(entry(l, b), QStringLiteral("Büro: visible bordered"));
  EXPECT_EQ(entry(l, minimised), QStringLiteral("Minimiert: visible bordered"));
  EXPECT_NE(entry(l, popup), QStringLiteral(": visible bordered"));
  // Undecorated windows count whatever draws their title bar; panels, menus and the like never.
  EXPECT_EQ(wronglyShown(l, typed, true), QStringList());
}

TEST(X11WindowList, withoutAManagerAndUnderAReparentingOneAndWhenTheServerGoesAway) {
  PrivateXServer server;
  if (server.display().isEmpty()) GTEST_SKIP() << "Xvfb could not be started";
  XClient x(server.display());
  ASSERT_TRUE(x.ok());
  X11WindowList list(server.display());

  // No manager: every mapped top-level window is visible; override-redirect ones, panels, menus
  // and the like are no task windows.
  const xcb_window_t a = x.create(), b = x.create(), unmapped = x.create(), popup = x.create(true);
  const std::vector<xcb_window_t> typed = createTyped(x);
  for (xcb_window_t w : typed) x.map(w);
  x.setText(a, "_NET_WM_NAME", "UTF8_STRING", QByteArray("Erstes\0Rest", 11));
  x.setText(b, "WM_NAME", "COMPOUND_TEXT",
            "Gr\xfc\xdf"
            "e \x1b%G\xe2\x82\xac\x1b%@ \x1b-B\xb1!");
  for (xcb_window_t w : {a, b, popup}) x.map(w);
  QList<TopLevelWindow> l = list.windows();
  EXPECT_TRUE(above(l, popup, b) && above(l, b, a));
  EXPECT_EQ(entry(l, a), QStringLiteral("Erstes: visible bordered"));
  EXPECT_EQ(entry(l, b), QStringLiteral("Grüße € ?!: visible bordered"));
  EXPECT_EQ(entry(l, unmapped), QStringLiteral(": hidden"));
  EXPECT_EQ(entry(l, popup), QStringLiteral(": visible"));
  EXPECT_EQ(wronglyShown(l, typed, false), QStringList());
  const uint32_t top = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(x.c, a, XCB_CONFIG_WINDOW_STACK_MODE, &top);
  x.sync();
  EXPECT_TRUE(above(list.windows(), a, b));

  // A manager without EWMH: it holds the root's redirection and puts clients into frames of its
  // own; the client inside the frame is listed, by its WM_STATE.
  const uint32_t redirect = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
  xcb_change_window_attributes(x.c, x.root, XCB_CW_EVENT_MASK, &redirect);
  auto framed = [&](const char* title, uint32_t wmState, bool mapped) {
    const xcb_window_t frame = x.create(), client = x.create(false, frame);
    x.setText(client, "WM_NAME", "STRING", title);
    x.set32(client, "WM_STATE", {wmState, 0});
    x.map(client);
    x.map(frame, mapped);
    return client;
  };
  const xcb_window_t normal = framed("Normal", kNormalState, true);
  const xcb_window_t iconic = framed("Minimiert", kIconicState, false);
  const xcb_window_t withdrawn = framed("Zurueckgezogen", 0, false);
  const xcb_window_t frameless = x.create();
  x.set32(frameless, "WM_STATE", {kNormalState, 0});
  x.set32(frameless, "_MOTIF_WM_HINTS", kNoDecorations);
  x.map(frameless);
  l = list.windows();
  EXPECT_EQ(indexOf(l, frameless), 0);
  EXPECT_EQ(entry(l, normal), QStringLiteral("Normal: visible bordered"));
  EXPECT_EQ(entry(l, iconic), QStringLiteral("Minimiert: visible bordered"));
  EXPECT_EQ(entry(l, withdrawn), QStringLiteral("Zurueckgezogen: hidden"));
  EXPECT_EQ(entry(l, frameless), QStringLiteral(": visible bordered"));

  server.kill();
  EXPECT_TRUE(list.windows().isEmpty());
  EXPECT_TRUE(list.windows().isEmpty());
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
