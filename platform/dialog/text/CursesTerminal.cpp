#include "platform/dialog/text/CursesTerminal.h"

#define NCURSES_WIDECHAR 1
#include <curses.h>
#include <langinfo.h>
#include <locale.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/dialog/text/RunInForeground.h"

namespace platform {

namespace {

// How long the rest of an Alt sequence may take after its ESC; a lone ESC is Escape.
constexpr int kAltFollowMs = 30;

chtype LineGraphic(char32_t c) {
  switch (c) {
    case U'\u2500':
      return ACS_HLINE;
    case U'\u2502':
      return ACS_VLINE;
    case U'\u250C':
      return ACS_ULCORNER;
    case U'\u2510':
      return ACS_URCORNER;
    case U'\u2514':
      return ACS_LLCORNER;
    case U'\u2518':
      return ACS_LRCORNER;
    default:
      return 0;
  }
}

attr_t CursesAttr(uint8_t attr) {
  attr_t a = A_NORMAL;
  if (attr & kAttrBold) a |= A_BOLD;
  if (attr & kAttrDim) a |= A_DIM;
  if (attr & kAttrReverse) a |= A_REVERSE;
  if (attr & kAttrUnderline) a |= A_UNDERLINE;
  return a;
}

}  // namespace

std::unique_ptr<CursesTerminal> CursesTerminal::Open(std::string* whyNot) {
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
    *whyNot = "standard input and output are not a terminal.";
    return nullptr;
  }
  // Only the character set: numbers must keep the C locale's form.
  setlocale(LC_CTYPE, "");
  const char* term = std::getenv("TERM");
  if (!term || !*term) {
    *whyNot = "the terminal type is not set (TERM).";
    return nullptr;
  }
  // newterm, unlike initscr, returns instead of ending the process on an unknown terminal.
  screen* s = newterm(nullptr, stdout, stdin);
  if (!s) {
    *whyNot = std::string("the terminal type \"") + term + "\" is not known to terminfo.";
    return nullptr;
  }
  // A terminal that cannot place the cursor (dumb, a printing one) would show nothing usable:
  // the dialogs are drawn cell by cell.
  const char* cup = tigetstr("cup");
  if (!cup || cup == reinterpret_cast<char*>(-1)) {
    endwin();
    delscreen(s);
    *whyNot = std::string("the terminal type \"") + term +
              "\" cannot move the cursor (it has no cursor addressing).";
    return nullptr;
  }
  return std::unique_ptr<CursesTerminal>(new CursesTerminal(s));
}

CursesTerminal::CursesTerminal(screen* s) : screen_(s) {
  utf8_ = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
  showsDim_ = (term_attrs() & WA_DIM) != 0;
  raw();
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  set_escdelay(25);
  curs_set(0);
  mousemask(BUTTON1_PRESSED, nullptr);
  mouseinterval(0);
}

CursesTerminal::~CursesTerminal() {
  endwin();
  delscreen(screen_);
}

int CursesTerminal::Width() const {
  return getmaxx(stdscr);
}

int CursesTerminal::Height() const {
  return getmaxy(stdscr);
}

void CursesTerminal::Show(const TextCanvas& frame) {
  if (hungUp_) return;
  if (repaint_) clearok(curscr, TRUE);
  repaint_ = false;
  const int width = std::min(frame.Width(), Width());
  const int height = std::min(frame.Height(), Height());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Cell& cell = frame.At(x, y);
      const attr_t attr = CursesAttr(cell.attr);
      if (chtype line = LineGraphic(cell.ch)) {
        mvaddch(y, x, line | attr);
      } else if (cell.ch >= 0x20 && cell.ch < 0x7F) {
        mvaddch(y, x, static_cast<chtype>(cell.ch) | attr);
      } else if (utf8_ && cell.ch >= 0xA0) {
        // SafeText has let only single-cell characters through.
        wchar_t wc[2] = {static_cast<wchar_t>(cell.ch), 0};
        cchar_t cc;
        setcchar(&cc, wc, attr, 0, nullptr);
        mvadd_wch(y, x, &cc);
      } else {
        mvaddch(y, x, static_cast<chtype>('?') | attr);
      }
    }
  }
  refresh();
}

void CursesTerminal::DiscardInput() {
  if (hungUp_) return;
  // Both what the terminal driver holds and what curses has read ahead. A change of size
  // read with them is lost as an event, so the next frame is painted whole.
  flushinp();
  repaint_ = true;
}

void CursesTerminal::Bell() {
  if (!hungUp_) beep();
}

std::optional<InputEvent> CursesTerminal::Wait(int timeoutMs) {
  if (stopHandlers_.Raised()) hungUp_ = true;
  if (hungUp_) return InputEvent::OfHangUp();
  // What curses has already read comes first; poll would not see it.
  if (auto event = ReadKey()) return event;
  pollfd pfd{STDIN_FILENO, POLLIN, 0};
  const int ready = poll(&pfd, 1, std::max(0, timeoutMs));
  if (stopHandlers_.Raised()) {
    hungUp_ = true;
    return InputEvent::OfHangUp();
  }
  if (ready < 0) return ReadKey();  // a signal: a change of size shows as KEY_RESIZE
  if (ready == 0) return std::nullopt;
  if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) {
    hungUp_ = true;
    return InputEvent::OfHangUp();
  }
  int waiting = 0;
  if (ioctl(STDIN_FILENO, FIONREAD, &waiting) == 0 && waiting == 0) {
    // Readable with nothing to read: the end of input.
    hungUp_ = true;
    return InputEvent::OfHangUp();
  }
  return ReadKey();
}

std::optional<InputEvent> CursesTerminal::ReadKey() {
  wint_t code = 0;
  timeout(0);
  const int result = get_wch(&code);
  if (result == ERR) return std::nullopt;
  if (result == OK && code == 27) {
    // ESC and what follows at once is Alt with that key; ESC alone is Escape.
    wint_t next = 0;
    timeout(kAltFollowMs);
    const int follow = get_wch(&next);
    timeout(0);
    if (follow == ERR) return InputEvent::OfKey(Key::Of(KeyCode::Escape));
    if (follow == OK && next == 27) {
      unget_wch(next);
      return InputEvent::OfKey(Key::Of(KeyCode::Escape));
    }
    return KeyOf(follow, next, true);
  }
  return KeyOf(result, code, false);
}

std::optional<InputEvent> CursesTerminal::KeyOf(int result, unsigned code, bool alt) {
  auto key = [alt](KeyCode k) { return InputEvent::OfKey(Key{k, 0, alt}); };
  if (result == KEY_CODE_YES) {
    switch (code) {
      case KEY_RESIZE:
        return InputEvent::OfResize();
      case KEY_MOUSE: {
        MEVENT m{};
        if (getmouse(&m) == OK && (m.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)))
          return InputEvent::OfClick(m.x, m.y);
        return std::nullopt;
      }
      case KEY_UP:
        return key(KeyCode::Up);
      case KEY_DOWN:
        return key(KeyCode::Down);
      case KEY_LEFT:
        return key(KeyCode::Left);
      case KEY_RIGHT:
        return key(KeyCode::Right);
      case KEY_HOME:
        return key(KeyCode::Home);
      case KEY_END:
        return key(KeyCode::End);
      case KEY_PPAGE:
        return key(KeyCode::PageUp);
      case KEY_NPAGE:
        return key(KeyCode::PageDown);
      case KEY_BTAB:
        return key(KeyCode::BackTab);
      case KEY_ENTER:
        return key(KeyCode::Enter);
      default:
        if (code == static_cast<unsigned>(KEY_F(1))) return key(KeyCode::F1);
        if (code == static_cast<unsigned>(KEY_F(4))) return key(KeyCode::F4);
        return std::nullopt;
    }
  }
  switch (code) {
    case '\r':
    case '\n':
      return key(KeyCode::Enter);
    case '\t':
      return key(KeyCode::Tab);
    case 3:  // Ctrl+C: in raw mode a key, taken as the cancel command
      return key(KeyCode::Escape);
    case 12:  // Ctrl+L
      return key(KeyCode::Redraw);
    default:
      break;
  }
  if (code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0)) return std::nullopt;
  return InputEvent::OfKey(Key::Char(static_cast<char32_t>(code), alt));
}

bool CursesTerminal::RunProgram(const std::vector<std::string>& argv) {
  if (argv.empty() || hungUp_) return false;
  def_prog_mode();
  endwin();
  const bool ok = RunInForeground(argv);
  reset_prog_mode();
  repaint_ = true;
  refresh();
  return ok;
}

}  // namespace platform
