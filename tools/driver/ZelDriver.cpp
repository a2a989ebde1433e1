// Drives ZelRecompile's main window from outside, through window handles only, as a user would:
//   ZelDriver wait [ms]          wait for the main window
//   ZelDriver dump               print the caption, whether the log page is in front, the fields, the
//                                options and every row
//   ZelDriver set <name> <text>  set the text of Edit1 or Edit2 (by the label beside it)
//   ZelDriver click <caption>    click a button or check box by caption (posted: may open a box)
//   ZelDriver answer <button> [ms] wait for a message box and press Yes, No or OK; prints its text
//   ZelDriver close              ask the window to close and wait until it is gone
//   ZelDriver wait-run [ms]      after BEGIN: wait until the run has ended (prints "run ended") or a
//                                message box shows (prints "box: ..." and leaves it open)
//   ZelDriver log                print the lines of the log page
//   ZelDriver menu <row> [n]     right-click the row whose check box reads <row>; with n, choose the
//                                menu's n-th item, else leave the menu open (prints "menu open")
//   ZelDriver choose <n>         choose the n-th item of the open menu
// Several commands may follow each other on one command line. Exit code 0 when all succeeded.
#include "framework/WinApi.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Text(HWND window) {
  char buffer[4096] = {};
  ::SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                        5000, nullptr);
  return buffer;
}

std::string ClassOf(HWND window) {
  char name[256] = {};
  ::GetClassNameA(window, name, sizeof name);
  return name;
}

HWND FindMain() {
  return ::FindWindowA("ZelForm", nullptr);
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM data) {
  reinterpret_cast<std::vector<HWND> *>(data)->push_back(window);
  return TRUE;
}

std::vector<HWND> Children(HWND parent, bool directOnly) {
  std::vector<HWND> all;
  ::EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&all));
  if (!directOnly)
    return all;
  std::vector<HWND> direct;
  for (HWND window : all)
    if (::GetParent(window) == parent)
      direct.push_back(window);
  return direct;
}

HWND FindByText(HWND main, const std::string &text) {
  for (HWND window : Children(main, false))
    if (Text(window) == text)
      return window;
  return nullptr;
}

RECT RectIn(HWND window, HWND reference) {
  RECT rect;
  ::GetWindowRect(window, &rect);
  ::MapWindowPoints(HWND_DESKTOP, reference, reinterpret_cast<POINT *>(&rect), 2);
  return rect;
}

bool IsCheckBox(HWND window) {
  return ClassOf(window) == "Button" && (::GetWindowLongA(window, GWL_STYLE) & 0x0F) == BS_AUTOCHECKBOX;
}

const char *CheckMark(HWND window) {
  return ::SendMessageA(window, BM_GETCHECK, 0, 0) == BST_CHECKED ? "[x]" : "[ ]";
}

HWND FindLogView(HWND main);

int Dump() {
  HWND main = FindMain();
  if (!main) {
    std::puts("no window");
    return 1;
  }
  std::printf("caption: %s\n", Text(main).c_str());
  HWND groupBox = FindByText(main, "Installed environments:");
  if (HWND view = FindLogView(main)) // the log page's view shows exactly while that page is in front
    std::printf("log page: %s\n", ::IsWindowVisible(view) ? "shown" : "hidden");
  for (HWND window : Children(main, true)) {
    std::string cls = ClassOf(window);
    if (!::IsWindowVisible(window) || cls == "SysTabControl32")
      continue;
    RECT r = RectIn(window, main);
    const char *state = IsCheckBox(window) ? CheckMark(window) : "";
    std::printf("control: %s %s \"%s\" at %ld,%ld %ldx%ld%s\n", cls.c_str(), state, Text(window).c_str(),
                r.left, r.top, r.right - r.left, r.bottom - r.top,
                ::IsWindowEnabled(window) ? "" : " disabled");
  }
  if (!groupBox)
    return 0;
  struct TCell {
    HWND Window;
    RECT Rect;
  };
  std::vector<TCell> cells;
  for (HWND window : Children(groupBox, true))
    cells.push_back({window, RectIn(window, groupBox)});
  std::stable_sort(cells.begin(), cells.end(), [](const TCell &a, const TCell &b) {
    return a.Rect.top != b.Rect.top ? a.Rect.top < b.Rect.top : a.Rect.left < b.Rect.left;
  });
  for (std::size_t i = 0; i < cells.size();) {
    std::size_t j = i;
    std::string line = "row:";
    while (j < cells.size() && cells[j].Rect.top == cells[i].Rect.top) {
      HWND window = cells[j].Window;
      line += IsCheckBox(window) ? std::string(" ") + CheckMark(window) + " " + Text(window)
                                 : " | " + Text(window);
      ++j;
    }
    std::printf("%s\n", line.c_str());
    i = j;
  }
  return 0;
}

HWND FindLogView(HWND main) {
  for (HWND window : Children(main, false))
    if (ClassOf(window) == "Edit" && (::GetWindowLongA(window, GWL_STYLE) & ES_MULTILINE) &&
        ::GetParent(window) != main)
      return window;
  return nullptr;
}

int PrintLog() {
  HWND view = FindLogView(FindMain());
  if (!view)
    return 1;
  int length = int(::SendMessageA(view, WM_GETTEXTLENGTH, 0, 0));
  std::string text(std::size_t(length) + 1, '\0');
  ::SendMessageA(view, WM_GETTEXT, WPARAM(length + 1), reinterpret_cast<LPARAM>(text.data()));
  text.resize(std::size_t(length));
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos)
      end = text.size();
    std::printf("log: %s\n", text.substr(start, end - start).c_str());
    start = end + 2;
  }
  return 0;
}

HWND WaitForMessageBox(DWORD processId, int milliseconds);

std::string BoxText(HWND box) {
  std::string message;
  for (HWND child : Children(box, true))
    if (ClassOf(child) == "Static" && !Text(child).empty())
      message += Text(child);
  for (auto &c : message)
    if (c == '\r' || c == '\n')
      c = '|';
  return Text(box) + ": " + message;
}

// The run has ended when Close is usable again: the window locks it while a run is in progress.
int WaitForRun(int milliseconds) {
  HWND main = FindMain();
  DWORD processId = 0;
  ::GetWindowThreadProcessId(main, &processId);
  HWND close = FindByText(main, "Close");
  for (int waited = 0; waited <= milliseconds; waited += 100) {
    if (HWND box = WaitForMessageBox(processId, 0)) {
      std::printf("box: %s\n", BoxText(box).c_str());
      return 0;
    }
    if (waited >= 300 && close && ::IsWindowEnabled(close)) {
      std::puts("run ended");
      return 0;
    }
    ::Sleep(100);
  }
  std::puts("run still going");
  return 1;
}

// A visible top-level window of the class that the process shows within the time given.
HWND WaitForWindowOfClass(DWORD processId, const std::string &className, int milliseconds) {
  for (int waited = 0; waited <= milliseconds; waited += 20) {
    std::vector<HWND> windows;
    ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(window, &owner);
      if (owner == processId && ClassOf(window) == className && ::IsWindowVisible(window))
        return window;
    }
    ::Sleep(20);
  }
  return nullptr;
}

HWND WaitForMessageBox(DWORD processId, int milliseconds) {
  return WaitForWindowOfClass(processId, "#32770", milliseconds);
}

int Answer(const std::string &button, int milliseconds) {
  HWND main = FindMain();
  DWORD processId = 0;
  ::GetWindowThreadProcessId(main, &processId);
  HWND box = WaitForMessageBox(processId, milliseconds);
  if (!box) {
    std::puts("no message box");
    return 1;
  }
  std::printf("box: %s\n", BoxText(box).c_str());
  int id = button == "Yes" ? IDYES : button == "No" ? IDNO : button == "Cancel" ? IDCANCEL : IDOK;
  ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(box, id)));
  return 0;
}

// The program's open popup menu: a "#32768" window of its process.
HWND WaitForMenu(DWORD processId, int milliseconds) {
  return WaitForWindowOfClass(processId, "#32768", milliseconds);
}

DWORD MainProcessId() {
  DWORD processId = 0;
  ::GetWindowThreadProcessId(FindMain(), &processId);
  return processId;
}

// The right mouse button's message at the middle of the row's check box; the menu it opens runs its
// own loop in the program, so the request is posted.
int OpenRowMenu(const std::string &row) {
  HWND box = FindByText(FindMain(), row);
  if (!box || !IsCheckBox(box)) {
    std::puts("no such row");
    return 1;
  }
  RECT rect;
  ::GetWindowRect(box, &rect);
  ::PostMessageA(box, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(box),
                 MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2));
  if (!WaitForMenu(MainProcessId(), 5000)) {
    std::puts("no menu");
    return 1;
  }
  std::puts("menu open");
  return 0;
}

// The menu's own loop reads the keys of its thread: the n-th item is n steps down, then Enter.
int ChooseMenuItem(int item) {
  DWORD processId = MainProcessId();
  HWND menu = WaitForMenu(processId, 5000);
  if (!menu || item < 1) {
    std::puts("no menu");
    return 1;
  }
  for (int i = 0; i < item; ++i)
    ::PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
  ::PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
  for (int waited = 0; WaitForMenu(processId, 0) && waited < 5000; waited += 20)
    ::Sleep(20);
  return WaitForMenu(processId, 0) ? 1 : 0;
}

} // namespace

int main(int argc, char **argv) {
  int result = 0;
  for (int i = 1; i < argc && result == 0; ++i) {
    std::string command = argv[i];
    auto next = [&](const char *fallback) {
      return i + 1 < argc ? std::string(argv[++i]) : std::string(fallback);
    };
    if (command == "wait") {
      int milliseconds = std::atoi(next("10000").c_str());
      int waited = 0;
      while (!FindMain() && waited < milliseconds) {
        ::Sleep(50);
        waited += 50;
      }
      result = FindMain() ? 0 : 1;
      if (result)
        std::puts("no window");
      ::Sleep(200); // let the first painting finish
    } else if (command == "dump") {
      result = Dump();
    } else if (command == "set") {
      std::string label = next(""), text = next("");
      HWND main = FindMain();
      HWND edit = nullptr;
      for (HWND window : Children(main, true))
        if (ClassOf(window) == "Edit" &&
            ((label == "Edit1" && RectIn(window, main).top < 30) ||
             (label == "Edit2" && RectIn(window, main).top >= 30 && RectIn(window, main).top < 70)))
          edit = window;
      result = edit ? 0 : 1;
      if (edit)
        ::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    } else if (command == "click") {
      HWND control = FindByText(FindMain(), next(""));
      result = control ? 0 : 1;
      if (control)
        ::PostMessageA(control, BM_CLICK, 0, 0);
      else
        std::puts("no such control");
      ::Sleep(100);
    } else if (command == "answer") {
      std::string button = next("OK");
      result = Answer(button, std::atoi(next("5000").c_str()));
      ::Sleep(100);
    } else if (command == "wait-run") {
      result = WaitForRun(std::atoi(next("600000").c_str()));
    } else if (command == "log") {
      result = PrintLog();
    } else if (command == "menu") {
      std::string row = next("");
      result = OpenRowMenu(row);
      if (result == 0 && i + 1 < argc && std::atoi(argv[i + 1]) > 0)
        result = ChooseMenuItem(std::atoi(argv[++i]));
    } else if (command == "choose") {
      result = ChooseMenuItem(std::atoi(next("0").c_str()));
    } else if (command == "close") {
      HWND main = FindMain();
      if (main)
        ::PostMessageA(main, WM_CLOSE, 0, 0);
      for (int waited = 0; FindMain() && waited < 10000; waited += 50)
        ::Sleep(50);
      result = FindMain() ? 1 : 0;
    } else {
      std::printf("unknown command %s\n", command.c_str());
      result = 2;
    }
  }
  std::fflush(stdout);
  return result;
}
