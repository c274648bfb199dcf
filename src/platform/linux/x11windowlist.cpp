#include "platform/linux/x11windowlist.h"

#include <xcb/xcb.h>

#include <pthread.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <vector>

namespace {

// Frees what xcb hands out (replies, errors) when it goes out of scope.
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using XcbPtr = std::unique_ptr<T, FreeDeleter>;

// ICCCM WM_STATE values.
constexpr uint32_t kNormalState = 1;
constexpr uint32_t kIconicState = 3;

// Title properties longer than this are cut (in 32-bit units).
constexpr uint32_t kMaxTitleLongs = 16384;
constexpr uint32_t kMaxWindows = 65536;

// The X server may go away while we talk to it; writing to its closed socket must then end in
// a failed request, not in a SIGPIPE that ends the program. The signal is held back while the
// list is read and a SIGPIPE raised meanwhile is taken off again.
class SigpipeGuard {
 public:
  SigpipeGuard() {
    pthread_sigmask(SIG_BLOCK, &pipeOnly(), &m_old);
    m_wasPending = pending();
  }
  ~SigpipeGuard() {
    const timespec zero{0, 0};
    if (!m_wasPending && pending()) sigtimedwait(&pipeOnly(), nullptr, &zero);
    pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
  }

 private:
  static const sigset_t& pipeOnly() {
    static const sigset_t set = [] {
      sigset_t s;
      sigemptyset(&s);
      sigaddset(&s, SIGPIPE);
      return s;
    }();
    return set;
  }
  static bool pending() {
    sigset_t p;
    sigpending(&p);
    return sigismember(&p, SIGPIPE) == 1;
  }

  sigset_t m_old;
  bool m_wasPending = false;
};

struct Property {
  bool present = false;
  xcb_atom_t type = XCB_NONE;
  uint8_t format = 0;
  QByteArray data;

  std::vector<uint32_t> cardinals() const {
    std::vector<uint32_t> out;
    if (format != 32) return out;
    out.resize(static_cast<size_t>(data.size()) / 4);
    // An empty property has no data to copy from (memcpy must not see a null pointer).
    if (!out.empty()) std::memcpy(out.data(), data.constData(), out.size() * 4);
    return out;
  }
};

xcb_get_property_cookie_t askProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t atom,
                                      uint32_t maxLongs) {
  return xcb_get_property(c, 0, w, atom, XCB_GET_PROPERTY_TYPE_ANY, 0, maxLongs);
}

Property takeProperty(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
  xcb_generic_error_t* error = nullptr;
  XcbPtr<xcb_get_property_reply_t> r(xcb_get_property_reply(c, cookie, &error));
  std::free(error);
  Property p;
  if (!r || r->type == XCB_NONE) return p;
  p.present = true;
  p.type = r->type;
  p.format = r->format;
  p.data = QByteArray(static_cast<const char*>(xcb_get_property_value(r.get())),
                      xcb_get_property_value_length(r.get()));
  return p;
}

XcbPtr<xcb_get_window_attributes_reply_t> takeAttributes(
    xcb_connection_t* c, xcb_get_window_attributes_cookie_t cookie) {
  xcb_generic_error_t* error = nullptr;
  XcbPtr<xcb_get_window_attributes_reply_t> r(xcb_get_window_attributes_reply(c, cookie, &error));
  std::free(error);
  return r;
}

// The children of a window, bottom to top.
std::vector<xcb_window_t> children(xcb_connection_t* c, xcb_window_t w) {
  xcb_generic_error_t* error = nullptr;
  XcbPtr<xcb_query_tree_reply_t> r(xcb_query_tree_reply(c, xcb_query_tree(c, w), &error));
  std::free(error);
  if (!r) return {};
  const xcb_window_t* kids = xcb_query_tree_children(r.get());
  return std::vector<xcb_window_t>(kids, kids + xcb_query_tree_children_length(r.get()));
}

}  // namespace

struct X11WindowList::Atoms {
  xcb_atom_t wmState, wmName, netWmName, utf8String, compoundText, supportingWmCheck,
      clientListStacking, windowType;
  // _NET_WM_WINDOW_TYPE values: windows of their own first, then the rest.
  xcb_atom_t typeNormal, typeDialog, typeUtility;
  xcb_atom_t typeDesktop, typeDock, typeToolbar, typeMenu, typeSplash, typeDropdownMenu,
      typePopupMenu, typeTooltip, typeNotification, typeCombo, typeDnd;
};

X11WindowList::X11WindowList(QByteArray displayName) : m_displayName(std::move(displayName)) {}

X11WindowList::~X11WindowList() {
  disconnectFromServer();
}

void X11WindowList::disconnectFromServer() {
  if (m_conn) xcb_disconnect(m_conn);
  m_conn = nullptr;
  m_atoms.reset();
}

bool X11WindowList::connectToServer() {
  if (m_conn && xcb_connection_has_error(m_conn)) disconnectFromServer();
  if (m_conn) return true;
  int screen = 0;
  xcb_connection_t* c =
      xcb_connect(m_displayName.isEmpty() ? nullptr : m_displayName.constData(), &screen);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    if (!m_reportedNoDisplay) {
      m_reportedNoDisplay = true;
      const QByteArray name = m_displayName.isEmpty() ? qgetenv("DISPLAY") : m_displayName;
      std::fprintf(stderr, "window list: no X display (%s); browser windows cannot be read\n",
                   name.isEmpty() ? "DISPLAY is not set" : name.constData());
    }
    return false;
  }
  // In the order of the members of Atoms.
  // clang-format off
  static const char* const names[] = {
      "WM_STATE", "WM_NAME", "_NET_WM_NAME", "UTF8_STRING", "COMPOUND_TEXT",
      "_NET_SUPPORTING_WM_CHECK", "_NET_CLIENT_LIST_STACKING", "_NET_WM_WINDOW_TYPE",
      "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WM_WINDOW_TYPE_DIALOG", "_NET_WM_WINDOW_TYPE_UTILITY",
      "_NET_WM_WINDOW_TYPE_DESKTOP", "_NET_WM_WINDOW_TYPE_DOCK", "_NET_WM_WINDOW_TYPE_TOOLBAR",
      "_NET_WM_WINDOW_TYPE_MENU", "_NET_WM_WINDOW_TYPE_SPLASH",
      "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", "_NET_WM_WINDOW_TYPE_POPUP_MENU",
      "_NET_WM_WINDOW_TYPE_TOOLTIP", "_NET_WM_WINDOW_TYPE_NOTIFICATION",
      "_NET_WM_WINDOW_TYPE_COMBO", "_NET_WM_WINDOW_TYPE_DND"};
  // clang-format on
  constexpr size_t count = sizeof names / sizeof names[0];
  static_assert(count * sizeof(xcb_atom_t) == sizeof(Atoms));
  xcb_intern_atom_cookie_t cookies[count];
  for (size_t i = 0; i < count; ++i)
    cookies[i] = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(names[i])), names[i]);
  xcb_atom_t atoms[count];
  for (size_t i = 0; i < count; ++i) {
    xcb_generic_error_t* error = nullptr;
    XcbPtr<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(c, cookies[i], &error));
    std::free(error);
    atoms[i] = r ? r->atom : XCB_NONE;
  }
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return false;
  }
  m_atoms = std::make_unique<Atoms>();
  std::memcpy(static_cast<void*>(m_atoms.get()), atoms, sizeof atoms);
  m_conn = c;
  m_screen = screen;
  return true;
}

namespace {

enum class Mode { Ewmh, OtherManager, NoManager };

// Whether a window's _NET_WM_WINDOW_TYPE list makes it a window of its own for the user. The
// first type of the list that is known decides; a window that names none counts as normal.
// Decorations play no part: browsers draw their own title bar and ask the manager for none.
bool ownWindowType(const std::vector<uint32_t>& types, std::initializer_list<xcb_atom_t> own,
                   std::initializer_list<xcb_atom_t> other) {
  for (uint32_t t : types) {
    if (t == XCB_NONE) continue;
    if (std::find(own.begin(), own.end(), t) != own.end()) return true;
    if (std::find(other.begin(), other.end(), t) != other.end()) return false;
  }
  return true;
}

// The client window of a top-level window under a reparenting manager: the first window at or
// below it that carries WM_STATE (breadth first, a few levels deep). The window itself when
// there is none.
xcb_window_t clientOf(xcb_connection_t* c, xcb_atom_t wmState, xcb_window_t top) {
  std::vector<xcb_window_t> level{top};
  for (int depth = 0; depth < 3 && !level.empty(); ++depth) {
    std::vector<xcb_get_property_cookie_t> cookies;
    for (xcb_window_t w : level) cookies.push_back(askProperty(c, w, wmState, 2));
    xcb_window_t found = XCB_NONE;
    for (size_t i = 0; i < level.size(); ++i)
      if (takeProperty(c, cookies[i]).present && found == XCB_NONE) found = level[i];
    if (found != XCB_NONE) return found;
    std::vector<xcb_window_t> next;
    for (xcb_window_t w : level)
      for (xcb_window_t kid : children(c, w)) next.push_back(kid);
    level.swap(next);
  }
  return top;
}

}  // namespace

QList<TopLevelWindow> X11WindowList::windows() {
  SigpipeGuard guard;
  if (!connectToServer()) return {};
  xcb_connection_t* c = m_conn;
  const Atoms& a = *m_atoms;

  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < m_screen && it.rem > 0; ++i) xcb_screen_next(&it);
  if (it.rem == 0) return {};
  const xcb_window_t root = it.data->root;

  const auto rootAttrsCookie = xcb_get_window_attributes(c, root);
  const auto checkCookie = askProperty(c, root, a.supportingWmCheck, 1);
  const auto stackCookie = askProperty(c, root, a.clientListStacking, kMaxWindows);
  const auto rootAttrs = takeAttributes(c, rootAttrsCookie);
  const Property check = takeProperty(c, checkCookie);
  const Property stack = takeProperty(c, stackCookie);

  // An EWMH manager names its check window on the root and on the check window itself; a
  // stale name left by a manager that has gone fails the second test.
  bool ewmh = false;
  if (!check.cardinals().empty() && stack.present && stack.format == 32) {
    const xcb_window_t w = check.cardinals().front();
    const std::vector<uint32_t> self =
        takeProperty(c, askProperty(c, w, a.supportingWmCheck, 1)).cardinals();
    ewmh = !self.empty() && self.front() == w;
  }
  const bool managerRunning =
      rootAttrs && (rootAttrs->all_event_masks & XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT);
  const Mode mode = ewmh ? Mode::Ewmh : managerRunning ? Mode::OtherManager : Mode::NoManager;

  // Bottom to top: the client windows, and the top-level windows (frames) they sit in.
  std::vector<xcb_window_t> clients;
  std::vector<xcb_window_t> topLevels;
  if (mode == Mode::Ewmh) {
    for (uint32_t w : stack.cardinals()) clients.push_back(w);
    topLevels = clients;
  } else {
    topLevels = children(c, root);
    for (xcb_window_t w : topLevels)
      clients.push_back(mode == Mode::OtherManager ? clientOf(c, a.wmState, w) : w);
  }

  struct Asked {
    xcb_get_window_attributes_cookie_t attrs, frameAttrs;
    xcb_get_property_cookie_t netWmName, wmName, wmState, type;
  };
  std::vector<Asked> asked;
  asked.reserve(clients.size());
  for (size_t i = 0; i < clients.size(); ++i) {
    const xcb_window_t w = clients[i];
    const xcb_window_t top = topLevels[i];
    asked.push_back({xcb_get_window_attributes(c, w), xcb_get_window_attributes(c, top),
                     askProperty(c, w, a.netWmName, kMaxTitleLongs),
                     askProperty(c, w, a.wmName, kMaxTitleLongs), askProperty(c, w, a.wmState, 2),
                     askProperty(c, w, a.windowType, 16)});
  }

  QList<TopLevelWindow> out;
  for (size_t i = 0; i < clients.size(); ++i) {
    const Asked& q = asked[i];
    const auto attrs = takeAttributes(c, q.attrs);
    const auto topAttrs = takeAttributes(c, q.frameAttrs);
    const Property netWmName = takeProperty(c, q.netWmName);
    const Property wmName = takeProperty(c, q.wmName);
    const Property wmState = takeProperty(c, q.wmState);
    const Property type = takeProperty(c, q.type);
    // Gone meanwhile, or a window that cannot be seen at all.
    if (!attrs || !topAttrs || topAttrs->_class == XCB_WINDOW_CLASS_INPUT_ONLY) continue;

    TopLevelWindow t;
    t.handle = clients[i];
    if (netWmName.present && netWmName.format == 8) {
      t.title = x11text::decodeTitle(netWmName.data, true, false);
    } else if (wmName.present && wmName.format == 8) {
      t.title = x11text::decodeTitle(wmName.data, wmName.type == a.utf8String,
                                     wmName.type == a.compoundText);
    }

    // A frame's own attributes are the manager's business; the client's count.
    const bool overrideRedirect = attrs->override_redirect;
    const bool mapped = topAttrs->map_state == XCB_MAP_STATE_VIEWABLE;
    const std::vector<uint32_t> state = wmState.cardinals();
    const bool managed = !overrideRedirect && !state.empty() &&
                         (state.front() == kNormalState || state.front() == kIconicState);

    // Panels, the desktop, menus, tooltips, splash screens and notifications are no windows
    // to work in, and an override-redirect window is one the manager never sees (a popup).
    const bool ownWindow =
        !overrideRedirect &&
        ownWindowType(
            type.cardinals(), {a.typeNormal, a.typeDialog, a.typeUtility},
            {a.typeDesktop, a.typeDock, a.typeToolbar, a.typeMenu, a.typeSplash, a.typeDropdownMenu,
             a.typePopupMenu, a.typeTooltip, a.typeNotification, a.typeCombo, a.typeDnd});

    switch (mode) {
      case Mode::Ewmh:
        // Listed by the manager: managed, unless it says the window is withdrawn.
        t.visible = state.empty() || managed;
        break;
      case Mode::OtherManager:
        t.visible = managed;
        break;
      case Mode::NoManager:
        t.visible = mapped;
        break;
    }
    t.bordered = ownWindow;
    out.append(t);
  }

  if (xcb_connection_has_error(c)) {
    // The server went away while we asked; what came back is incomplete.
    disconnectFromServer();
    return {};
  }
  std::reverse(out.begin(), out.end());  // topmost first
  return out;
}

namespace x11text {

QString decodeTitle(const QByteArray& bytes, bool utf8, bool compound) {
  const qsizetype nul = bytes.indexOf('\0');
  const QByteArray text = nul < 0 ? bytes : bytes.left(nul);
  if (utf8) return QString::fromUtf8(text);
  if (compound) return compoundText(text);
  return QString::fromLatin1(text);
}

QString compoundText(const QByteArray& bytes) {
  // Character sets the left (GL) and right (GR) halves are designated to.
  enum class Set { Ascii, Latin1Right, Unknown94, Unknown96, UnknownWide };
  Set gl = Set::Ascii;
  Set gr = Set::Latin1Right;
  QString out;
  const qsizetype n = bytes.size();
  auto at = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
  qsizetype i = 0;
  while (i < n) {
    const unsigned char b = at(i);
    if (b == 0x1B) {  // ESC: designation or segment
      qsizetype j = i + 1;
      while (j < n && at(j) >= 0x20 && at(j) <= 0x2F) ++j;  // intermediate bytes
      if (j >= n) break;
      const QByteArray inter = bytes.mid(i + 1, j - i - 1);
      const unsigned char final = at(j);
      i = j + 1;
      if (inter == "%" && final == 'G') {
        // UTF-8 up to ESC % @.
        const qsizetype end = bytes.indexOf("\x1b%@", i);
        const qsizetype stop = end < 0 ? n : end;
        out += QString::fromUtf8(bytes.mid(i, stop - i));
        i = end < 0 ? n : end + 3;
      } else if (inter == "%/" && i + 1 < n) {
        // Extended segment: two length bytes, then that many bytes of some other encoding.
        const qsizetype len = (at(i) & 0x7F) * 128 + (at(i + 1) & 0x7F);
        out += QChar(u'?');
        i += 2 + len;
      } else if (inter == "(") {
        gl = (final == 'B' || final == 'J') ? Set::Ascii : Set::Unknown94;
      } else if (inter == ")") {
        gr = Set::Unknown94;
      } else if (inter == "-") {
        gr = final == 'A' ? Set::Latin1Right : Set::Unknown96;
      } else if (inter.startsWith('$')) {
        (inter.endsWith(')') ? gr : gl) = Set::UnknownWide;
      }
      continue;
    }
    if (b == 0x9B) {  // CSI: direction changes, no text
      ++i;
      while (i < n && !(at(i) >= 0x40 && at(i) <= 0x7E)) ++i;
      ++i;
      continue;
    }
    if (b == '\t' || b == '\n') {
      out += QChar(b);
      ++i;
      continue;
    }
    const bool right = b >= 0xA0;
    const bool left = b >= 0x20 && b <= 0x7F;
    if (!right && !left) {  // other control codes
      ++i;
      continue;
    }
    const Set set = right ? gr : gl;
    if (set == Set::Ascii) {
      out += QChar(b);
    } else if (set == Set::Latin1Right) {
      out += QChar(b);  // only ever designated to the right half
    } else {
      out += QChar(u'?');
      if (set == Set::UnknownWide) ++i;  // two bytes per character
    }
    ++i;
  }
  return out;
}

}  // namespace x11text
