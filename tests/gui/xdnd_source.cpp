// A drag source for the end-to-end tests: drags files (or other data) onto
// the window titled "Tarnvell" through the X server, as a file manager
// would, then waits for the notice box that follows and dismisses it.
//
//   xdnd_source wait TITLE          wait until a window named TITLE is up
//   xdnd_source drop [--text] [--notice TITLE [--leave]] ITEM...
//   xdnd_source notice TITLE        wait for a box, close it
//   xdnd_source close TITLE         close a box that is up
//
// ITEM is a path (sent as a file:// URI) or a URI containing "://"; --text
// offers the items as text/plain instead of text/uri-list. Exit status: 0
// done, 1 failure or deadline, 3 the window refused the drag.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr long kVersion = 5;
constexpr int kDeadlineMs = 10000;

Display* dpy;
Window root;

Atom A(const char* name) { return XInternAtom(dpy, name, False); }

long long NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch())
      .count();
}

// Windows vanish while we look at them; such errors are not fatal here.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

std::string NameOf(Window w) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::string name;
  if (XGetWindowProperty(dpy, w, A("_NET_WM_NAME"), 0, 1024, False,
                         A("UTF8_STRING"), &type, &format, &count, &after,
                         &data) == Success && data != nullptr) {
    name.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  if (name.empty()) {
    char* plain = nullptr;
    if (XFetchName(dpy, w, &plain) && plain != nullptr) {
      name = plain;
      XFree(plain);
    }
  }
  return name;
}

// A mapped top-level window named title, other than skip; None if there is none.
Window FindWindow(const std::string& title, Window skip = None) {
  Window rootOut, parent, *children = nullptr;
  unsigned int n = 0;
  Window found = None;
  if (!XQueryTree(dpy, root, &rootOut, &parent, &children, &n)) return None;
  for (unsigned int i = n; i-- > 0 && found == None;) {  // topmost first
    XWindowAttributes attrs;
    if (children[i] == skip || !XGetWindowAttributes(dpy, children[i], &attrs) ||
        attrs.map_state != IsViewable)
      continue;
    if (NameOf(children[i]) == title) found = children[i];
  }
  if (children != nullptr) XFree(children);
  return found;
}

Window WaitForWindow(const std::string& title, Window skip = None) {
  long long end = NowMs() + kDeadlineMs;
  for (;;) {
    Window w = FindWindow(title, skip);
    if (w != None || NowMs() > end) return w;
    usleep(10000);
  }
}

bool IsUp(Window w) {
  XWindowAttributes attrs;
  return XGetWindowAttributes(dpy, w, &attrs) && attrs.map_state == IsViewable;
}

// Asks the box to close as its window's close button would; a box with one
// button takes that as the button.
bool CloseBox(Window box) {
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = box;
  ev.xclient.message_type = A("WM_PROTOCOLS");
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = static_cast<long>(A("WM_DELETE_WINDOW"));
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, box, False, NoEventMask, &ev);
  XFlush(dpy);
  long long end = NowMs() + kDeadlineMs;
  while (IsUp(box)) {
    if (NowMs() > end) return false;
    usleep(10000);
  }
  return true;
}

std::string FileUri(const std::string& path) {
  static const char hex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (unsigned char c : path) {
    if (std::isalnum(c) || std::strchr("/-._~", c) != nullptr) {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += hex[c >> 4];
      uri += hex[c & 15];
    }
  }
  return uri;
}

void SendClient(Window to, Atom type, long l0, long l1, long l2, long l3,
                long l4) {
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = to;
  ev.xclient.message_type = type;
  ev.xclient.format = 32;
  long l[] = {l0, l1, l2, l3, l4};
  std::copy(l, l + 5, ev.xclient.data.l);
  XSendEvent(dpy, to, False, NoEventMask, &ev);
  XFlush(dpy);
}

// A server timestamp, from a property change on our own window.
Time ServerTime(Window w) {
  XChangeProperty(dpy, w, A("XDND_SOURCE_TIME"), XA_STRING, 8, PropModeAppend,
                  nullptr, 0);
  XEvent ev;
  XWindowEvent(dpy, w, PropertyChangeMask, &ev);
  return ev.xproperty.time;
}

class Drag {
 public:
  Drag(Atom type, std::string data) : type_(type), data_(std::move(data)) {
    source_ = XCreateSimpleWindow(dpy, root, -10, -10, 1, 1, 0, 0, 0);
    XSelectInput(dpy, source_, PropertyChangeMask);
    time_ = ServerTime(source_);
    XSetSelectionOwner(dpy, A("XdndSelection"), source_, time_);
  }

  // 0 done, 1 failure, 3 refused.
  int Run(Window target) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* aware = nullptr;
    if (XGetWindowProperty(dpy, target, A("XdndAware"), 0, 1, False, XA_ATOM,
                           &type, &format, &count, &after, &aware) != Success ||
        aware == nullptr || count == 0) {
      std::fprintf(stderr, "xdnd_source: the window takes no drops\n");
      return 1;
    }
    long version = std::min(kVersion, static_cast<long>(*reinterpret_cast<Atom*>(aware)));
    XFree(aware);

    XWindowAttributes attrs;
    XGetWindowAttributes(dpy, target, &attrs);
    int x, y;
    Window child;
    XTranslateCoordinates(dpy, target, root, attrs.width / 2, attrs.height / 2,
                          &x, &y, &child);

    SendClient(target, A("XdndEnter"), source_, version << 24, type_, 0, 0);
    SendClient(target, A("XdndPosition"), source_, 0, (x << 16) | y, time_,
               A("XdndActionCopy"));
    XEvent ev;
    if (!WaitFor(A("XdndStatus"), &ev)) return 1;
    if (!(ev.xclient.data.l[1] & 1)) {
      SendClient(target, A("XdndLeave"), source_, 0, 0, 0, 0);
      std::printf("refused\n");
      return 3;
    }
    SendClient(target, A("XdndDrop"), source_, 0, time_, 0, 0);
    dropped_ = NowMs();
    if (!WaitFor(A("XdndFinished"), &ev)) return 1;
    std::printf("accepted; drag released after %lld ms\n", NowMs() - dropped_);
    return 0;
  }

  long long dropped() const { return dropped_; }

 private:
  // Waits for a message of the target, answering its requests for the data.
  bool WaitFor(Atom message, XEvent* ev) {
    long long end = NowMs() + kDeadlineMs;
    while (NowMs() < end) {
      if (!XPending(dpy)) {
        usleep(2000);
        continue;
      }
      XNextEvent(dpy, ev);
      if (ev->type == SelectionRequest) Answer(ev->xselectionrequest);
      if (ev->type == ClientMessage && ev->xclient.message_type == message)
        return true;
    }
    std::fprintf(stderr, "xdnd_source: no %s in time\n", XGetAtomName(dpy, message));
    return false;
  }

  void Answer(const XSelectionRequestEvent& r) {
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = r.requestor;
    reply.xselection.selection = r.selection;
    reply.xselection.target = r.target;
    reply.xselection.time = r.time;
    reply.xselection.property = None;
    Atom property = r.property != None ? r.property : r.target;
    if (r.target == type_) {
      XChangeProperty(dpy, r.requestor, property, type_, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(data_.data()),
                      static_cast<int>(data_.size()));
      reply.xselection.property = property;
    } else if (r.target == A("TARGETS")) {
      Atom targets[] = {A("TARGETS"), type_};
      XChangeProperty(dpy, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(targets), 2);
      reply.xselection.property = property;
    }
    XSendEvent(dpy, r.requestor, False, NoEventMask, &reply);
    XFlush(dpy);
  }

  Atom type_;
  std::string data_;
  Window source_;
  Time time_;
  long long dropped_ = 0;
};

// Waits for the box, reports how long after since it came, and closes it
// unless asked to leave it up.
int AwaitNotice(const std::string& title, Window skip, long long since,
                bool leave) {
  Window box = WaitForWindow(title, skip);
  if (box == None) {
    std::fprintf(stderr, "xdnd_source: no box '%s' in time\n", title.c_str());
    return 1;
  }
  if (since != 0)
    std::printf("notice '%s' after %lld ms\n", title.c_str(), NowMs() - since);
  if (leave) return 0;
  if (!CloseBox(box)) {
    std::fprintf(stderr, "xdnd_source: box '%s' stays up\n", title.c_str());
    return 1;
  }
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: xdnd_source wait|notice|close TITLE\n"
               "       xdnd_source drop [--text] [--notice TITLE [--leave]] ITEM...\n");
  return 1;
}

int DropCommand(int argc, char** argv) {
  bool text = false, leave = false;
  std::string notice;
  std::vector<std::string> items;
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--text") {
      text = true;
    } else if (arg == "--leave") {
      leave = true;
    } else if (arg == "--notice" && i + 1 < argc) {
      notice = argv[++i];
    } else {
      items.push_back(arg);
    }
  }
  if (items.empty()) return Usage();
  std::string data;
  for (const std::string& item : items) {
    if (text) data += item + "\n";
    else data += (item.find("://") != std::string::npos ? item : FileUri(item)) + "\r\n";
  }
  Window target = WaitForWindow("Tarnvell");
  if (target == None) {
    std::fprintf(stderr, "xdnd_source: no window 'Tarnvell'\n");
    return 1;
  }
  Drag drag(A(text ? "text/plain" : "text/uri-list"), data);
  int status = drag.Run(target);
  if (status != 0 || notice.empty()) return status;
  return AwaitNotice(notice, target, drag.dropped(), leave);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    std::fprintf(stderr, "xdnd_source: cannot open the display\n");
    return 1;
  }
  XSetErrorHandler(IgnoreErrors);
  root = DefaultRootWindow(dpy);
  std::string command = argv[1];
  int status;
  if (command == "drop") {
    status = DropCommand(argc, argv);
  } else if (command == "wait") {
    status = WaitForWindow(argv[2]) != None ? 0 : 1;
  } else if (command == "notice") {
    status = AwaitNotice(argv[2], FindWindow("Tarnvell"), 0, false);
  } else if (command == "close") {
    Window box = FindWindow(argv[2]);
    status = box != None && CloseBox(box) ? 0 : 1;
  } else {
    status = Usage();
  }
  XCloseDisplay(dpy);
  return status;
}
