// Win32 peers: each control gets a window of the standard class for its kind. The control keeps
// the state; the peer mirrors it, and turns the user's input (WM_COMMAND, WM_NOTIFY) back into the
// control's events. Containers (form, panel, tab sheet, group box) share one window procedure that
// routes a child's notification to the child's peer.
#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Handles.h"

#include <algorithm>
#include <commctrl.h>
#include <map>
#include <tuple>

bool IsWaitCursorShown(); // Desktop_win32.cpp

namespace {

const char *const ControlProperty = "ZelControl";
const char *const ContainerClass = "ZelContainer";
const char *const FormClass = "ZelForm";

class TWin32Peer;

TWin32Peer *PeerOf(HWND window);

// One font per style and size, kept for the life of the program.
HFONT FontFor(const TFontStyle &style) {
  static std::map<std::tuple<std::string, int, bool>, UniqueGdiObject> fonts;
  int height = ScaleToScreen(style.Height);
  auto key = std::make_tuple(style.Name, height, style.Bold);
  auto &font = fonts[key];
  if (!font)
    font.Reset(::CreateFontA(-height, 0, 0, 0, style.Bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, style.Name.c_str()));
  return static_cast<HFONT>(font.Get());
}

LRESULT CALLBACK ContainerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK GroupBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void RegisterClasses() {
  static bool registered = false;
  if (registered)
    return;
  registered = true;
  INITCOMMONCONTROLSEX common{sizeof(INITCOMMONCONTROLSEX), ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&common);
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = ContainerProc;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = ContainerClass;
  ::RegisterClassExA(&windowClass);
  windowClass.lpszClassName = FormClass;
  windowClass.hIcon = ::LoadIconA(windowClass.hInstance, MAKEINTRESOURCEA(1));
  if (!windowClass.hIcon)
    windowClass.hIcon = ::LoadIcon(nullptr, IDI_APPLICATION);
  ::RegisterClassExA(&windowClass);
}

class TWin32Peer : public TControlPeer {
public:
  explicit TWin32Peer(TControl &control) : control_(control) {}
  ~TWin32Peer() override {
    if (window_) {
      ::RemovePropA(window_, ControlProperty);
      if (originalProc_)
        ::SetWindowLongPtrA(window_, GWLP_WNDPROC, originalProc_);
      ::DestroyWindow(window_);
    }
  }

  void *Handle() const override { return window_; }
  TControl &Control() const { return control_; }
  WNDPROC OriginalProc() const { return reinterpret_cast<WNDPROC>(originalProc_); }
  void Forget() { window_ = nullptr; } // the window is gone (destroyed with its parent)

  bool Create() {
    RegisterClasses();
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS, exStyle = 0;
    const char *windowClass = "STATIC";
    switch (control_.Kind()) {
    case TControlKind::Form:
      windowClass = FormClass;
      style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
      exStyle = WS_EX_CONTROLPARENT;
      break;
    case TControlKind::Label:
      style |= static_cast<TLabel &>(control_).Alignment == TAlignment::taRightJustify ? SS_RIGHT : SS_LEFT;
      break;
    case TControlKind::Edit:
      windowClass = "EDIT";
      style |= WS_TABSTOP | ES_AUTOHSCROLL;
      exStyle = WS_EX_CLIENTEDGE;
      break;
    case TControlKind::CheckBox:
      windowClass = "BUTTON";
      style |= WS_TABSTOP | BS_AUTOCHECKBOX;
      break;
    case TControlKind::Button:
      windowClass = "BUTTON";
      style |= WS_TABSTOP | BS_PUSHBUTTON;
      break;
    case TControlKind::SpeedButton: // a flat button that takes no focus
      windowClass = "BUTTON";
      style |= BS_PUSHBUTTON | (static_cast<TSpeedButton &>(control_).Flat ? BS_FLAT : 0);
      break;
    case TControlKind::GroupBox:
      windowClass = "BUTTON";
      style |= BS_GROUPBOX | WS_CLIPCHILDREN;
      exStyle = WS_EX_CONTROLPARENT;
      break;
    case TControlKind::Panel:
    case TControlKind::TabSheet:
      windowClass = ContainerClass;
      style |= WS_CLIPCHILDREN;
      exStyle = WS_EX_CONTROLPARENT;
      break;
    case TControlKind::Memo: {
      windowClass = "EDIT";
      auto &memo = static_cast<TMemo &>(control_);
      style |= WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN |
               (memo.ScrollBars ? WS_VSCROLL | WS_HSCROLL : 0) | (memo.WordWrap ? 0 : ES_AUTOHSCROLL);
      exStyle = WS_EX_CLIENTEDGE;
      break;
    }
    case TControlKind::PageControl:
      windowClass = WC_TABCONTROLA;
      style |= WS_TABSTOP | WS_CLIPCHILDREN;
      exStyle = WS_EX_CONTROLPARENT;
      break;
    }
    if (control_.TabOrder < 0)
      style &= ~DWORD(WS_TABSTOP);
    HWND parent = control_.Parent() ? static_cast<HWND>(control_.Parent()->Handle()) : nullptr;
    if (control_.Kind() != TControlKind::Form && !parent)
      return false;
    RECT bounds = OuterBounds(style, exStyle);
    window_ = ::CreateWindowExA(exStyle, windowClass, TextForWindow().c_str(), style, bounds.left, bounds.top,
                                bounds.right - bounds.left, bounds.bottom - bounds.top, parent, nullptr,
                                ::GetModuleHandleA(nullptr), nullptr);
    if (!window_)
      return false;
    ::SetPropA(window_, ControlProperty, this);
    if (control_.Kind() == TControlKind::GroupBox)
      originalProc_ = ::SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GroupBoxProc));
    ::SendMessageA(window_, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(control_.Font)), FALSE);
    if (control_.Kind() == TControlKind::Memo)
      LinesChanged();
    if (control_.Kind() == TControlKind::CheckBox)
      ::SendMessageA(window_, BM_SETCHECK, static_cast<TCheckBox &>(control_).Checked() ? BST_CHECKED : 0, 0);
    if (control_.Kind() == TControlKind::PageControl)
      InsertTabs();
    ::EnableWindow(window_, control_.Enabled());
    if (control_.Kind() != TControlKind::Form && control_.Visible())
      ::ShowWindow(window_, SW_SHOWNA);
    return true;
  }

  void TextChanged() override {
    if (!window_)
      return;
    ::SetWindowTextA(window_, TextForWindow().c_str());
    if (control_.Kind() == TControlKind::TabSheet)
      if (auto *pageControl = dynamic_cast<TPageControl *>(control_.Parent()))
        if (auto *peer = static_cast<TWin32Peer *>(pageControl->Peer()))
          peer->InsertTabs();
  }

  void BoundsChanged() override {
    if (!window_)
      return;
    DWORD style = DWORD(::GetWindowLongA(window_, GWL_STYLE));
    DWORD exStyle = DWORD(::GetWindowLongA(window_, GWL_EXSTYLE));
    RECT bounds = OuterBounds(style, exStyle);
    ::SetWindowPos(window_, nullptr, bounds.left, bounds.top, bounds.right - bounds.left,
                   bounds.bottom - bounds.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  void StateChanged() override {
    if (!window_)
      return;
    ::EnableWindow(window_, control_.Enabled());
    if (control_.Kind() == TControlKind::CheckBox) {
      bool checked = static_cast<TCheckBox &>(control_).Checked();
      if ((::SendMessageA(window_, BM_GETCHECK, 0, 0) == BST_CHECKED) != checked)
        ::SendMessageA(window_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    if (control_.Kind() == TControlKind::Form) {
      auto &form = static_cast<TForm &>(control_);
      if (form.Closed()) {
        ::DestroyWindow(window_);
        return;
      }
      if (form.Showing() && !::IsWindowVisible(window_)) {
        OrderTabStops(control_);
        ::ShowWindow(window_, SW_SHOWNORMAL);
        ::UpdateWindow(window_);
        FocusFirstControl();
      }
      return;
    }
    bool visible = control_.Visible();
    if (bool(::IsWindowVisible(window_)) != visible || !visible)
      ::ShowWindow(window_, visible ? SW_SHOWNA : SW_HIDE);
  }

  void LinesChanged() override {
    if (!window_)
      return;
    std::string text = JoinLines(static_cast<TMemo &>(control_).Lines());
    if (text.size() >= 2)
      text.resize(text.size() - 2); // no empty line after the last one
    updating_ = true;
    ::SetWindowTextA(window_, text.c_str());
    updating_ = false;
  }

  void ActivePageChanged() override {
    if (!window_)
      return;
    auto &pageControl = static_cast<TPageControl &>(control_);
    auto pages = pageControl.Pages();
    for (std::size_t i = 0; i < pages.size(); ++i)
      if (pages[i] == pageControl.ActivePage())
        ::SendMessageA(window_, TCM_SETCURSEL, i, 0);
  }

  void Repaint() override {
    if (window_)
      ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  }

  void Focus() override {
    if (window_)
      ::SetFocus(window_);
  }

  void ScrollToEnd() override {
    if (window_)
      ::SendMessageA(window_, EM_LINESCROLL, 0, ::SendMessageA(window_, EM_GETLINECOUNT, 0, 0));
  }

  // A notification from the window itself (WM_COMMAND or WM_NOTIFY code).
  void Notified(UINT code) {
    switch (control_.Kind()) {
    case TControlKind::Button:
    case TControlKind::SpeedButton:
      if (code == BN_CLICKED)
        RunUserAction([this] { control_.Click(); });
      break;
    case TControlKind::CheckBox:
      if (code == BN_CLICKED) {
        bool checked = ::SendMessageA(window_, BM_GETCHECK, 0, 0) == BST_CHECKED;
        RunUserAction([this, checked] { static_cast<TCheckBox &>(control_).SetChecked(checked); });
      }
      break;
    case TControlKind::Edit:
      if (code == EN_CHANGE && !updating_) {
        std::string text = WindowText();
        RunUserAction([this, text] { static_cast<TEdit &>(control_).UserChangedText(text); });
      }
      break;
    case TControlKind::Memo:
      if (code == EN_CHANGE && !updating_)
        static_cast<TMemo &>(control_).UserChangedText(WindowText());
      break;
    case TControlKind::PageControl:
      if (code == UINT(TCN_SELCHANGE)) {
        int index = int(::SendMessageA(window_, TCM_GETCURSEL, 0, 0));
        RunUserAction([this, index] { static_cast<TPageControl &>(control_).UserSelectedPage(index); });
      }
      break;
    default:
      break;
    }
  }

private:
  std::string TextForWindow() const {
    if (control_.Kind() == TControlKind::Memo || control_.Kind() == TControlKind::TabSheet ||
        control_.Kind() == TControlKind::PageControl || control_.Kind() == TControlKind::Panel)
      return {};
    return control_.Caption();
  }

  std::string WindowText() const {
    int length = ::GetWindowTextLengthA(window_);
    std::string text(std::size_t(length) + 1, '\0');
    ::GetWindowTextA(window_, text.data(), length + 1);
    text.resize(std::size_t(length));
    return text;
  }

  // A form's bounds are its client area; everything else is placed as it stands.
  RECT OuterBounds(DWORD style, DWORD exStyle) const {
    RECT bounds{control_.Left(), control_.Top(), control_.Left() + control_.Width(),
                control_.Top() + control_.Height()};
    if (control_.Kind() == TControlKind::Form) {
      ::AdjustWindowRectEx(&bounds, style, FALSE, exStyle);
      int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
      int left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
      int top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
      bounds = RECT{left, top, left + width, top + height};
    }
    return bounds;
  }

  void InsertTabs() {
    ::SendMessageA(window_, TCM_DELETEALLITEMS, 0, 0);
    auto &pageControl = static_cast<TPageControl &>(control_);
    int index = 0;
    for (auto *page : pageControl.Pages()) {
      std::string caption = page->Caption();
      TCITEMA item{};
      item.mask = TCIF_TEXT;
      item.pszText = caption.data();
      ::SendMessageA(window_, TCM_INSERTITEMA, index++, reinterpret_cast<LPARAM>(&item));
    }
    ActivePageChanged();
  }

  // Tab stops follow the controls' tab order: the dialog manager walks the z-order.
  static void OrderTabStops(TControl &container) {
    auto *winControl = dynamic_cast<TWinControl *>(&container);
    if (!winControl)
      return;
    std::vector<TControl *> ordered;
    for (auto *child : winControl->Controls())
      if (child->Handle())
        ordered.push_back(child);
    std::stable_sort(ordered.begin(), ordered.end(), [](TControl *a, TControl *b) {
      int ta = a->TabOrder < 0 ? 1 << 30 : a->TabOrder, tb = b->TabOrder < 0 ? 1 << 30 : b->TabOrder;
      return ta < tb;
    });
    // A label goes just before the control its accelerator key focuses: the dialog manager moves
    // the focus to the next tab stop after the label.
    for (auto *child : winControl->Controls()) {
      auto *label = child->Kind() == TControlKind::Label ? static_cast<TLabel *>(child) : nullptr;
      if (!label || !label->FocusControl || !label->Handle())
        continue;
      ordered.erase(std::find(ordered.begin(), ordered.end(), child));
      auto target = std::find(ordered.begin(), ordered.end(), label->FocusControl);
      ordered.insert(target, child);
    }
    HWND after = HWND_TOP;
    for (auto *child : ordered) {
      HWND window = static_cast<HWND>(child->Handle());
      ::SetWindowPos(window, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      after = window;
      OrderTabStops(*child);
    }
  }

  void FocusFirstControl() {
    auto &form = static_cast<TForm &>(control_);
    if (form.ActiveControl() && form.ActiveControl()->Handle()) {
      ::SetFocus(static_cast<HWND>(form.ActiveControl()->Handle()));
      return;
    }
    if (HWND first = ::GetNextDlgTabItem(window_, nullptr, FALSE))
      ::SetFocus(first);
  }

  TControl &control_;
  HWND window_ = nullptr;
  LONG_PTR originalProc_ = 0;
  bool updating_ = false;
};

TWin32Peer *PeerOf(HWND window) {
  return window ? static_cast<TWin32Peer *>(::GetPropA(window, ControlProperty)) : nullptr;
}

struct MenuTraits {
  using HandleType = HMENU;
  static HandleType Invalid() noexcept { return nullptr; }
  static bool IsValid(HandleType h) noexcept { return h != nullptr; }
  static void Close(HandleType h) noexcept { ::DestroyMenu(h); }
};

// A right-click offers the items of the control under the pointer. Labels and group boxes let the
// click through to their parent, so the window that got the message may stand above that control:
// the control is found by the point. From the keyboard (no point) it is the one that has the focus.
bool ShowContextMenu(HWND window, WPARAM wParam, LPARAM lParam) {
  HWND target = reinterpret_cast<HWND>(wParam);
  POINT point{short(LOWORD(lParam)), short(HIWORD(lParam))};
  if (lParam == -1) {
    RECT rect;
    ::GetWindowRect(target, &rect);
    point = POINT{rect.left + 8, rect.top + (rect.bottom - rect.top) / 2};
  } else {
    for (HWND child = target; child;) {
      target = child;
      POINT inside = point;
      ::ScreenToClient(target, &inside);
      child = ::ChildWindowFromPointEx(target, inside, CWP_SKIPINVISIBLE);
      if (child == target)
        break;
    }
  }
  TWin32Peer *peer = PeerOf(target);
  TMenuItems items = peer ? peer->Control().ContextMenuItems() : TMenuItems{};
  if (items.empty())
    return false;
  ScopedHandle<MenuTraits> menu(::CreatePopupMenu());
  for (std::size_t i = 0; i < items.size(); ++i)
    ::AppendMenuA(menu.Get(), MF_STRING, i + 1, items[i].Caption.c_str());
  UINT chosen = UINT(::TrackPopupMenuEx(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, point.x,
                                        point.y, window, nullptr));
  if (chosen >= 1 && chosen <= items.size())
    RunUserAction(items[chosen - 1].OnClick);
  return true;
}

// Messages every container handles the same way: notifications go to the child that sent them.
bool RouteChildMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
  switch (message) {
  case WM_COMMAND:
    if (TWin32Peer *child = PeerOf(reinterpret_cast<HWND>(lParam))) {
      child->Notified(HIWORD(wParam));
      result = 0;
      return true;
    }
    return false;
  case WM_NOTIFY: {
    auto *header = reinterpret_cast<NMHDR *>(lParam);
    if (TWin32Peer *child = PeerOf(header->hwndFrom)) {
      child->Notified(header->code);
      result = 0;
      return true;
    }
    return false;
  }
  case WM_CONTEXTMENU:
    result = 0;
    return ShowContextMenu(window, wParam, lParam);
  case WM_CTLCOLORSTATIC:
  case WM_CTLCOLORBTN: { // labels and check boxes on the dialog face, also inside a group box
    HDC dc = reinterpret_cast<HDC>(wParam);
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    result = reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    return true;
  }
  case WM_SETCURSOR:
    if (IsWaitCursorShown()) {
      ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
      result = TRUE;
      return true;
    }
    return false;
  default:
    return false;
  }
}

LRESULT CALLBACK ContainerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (RouteChildMessage(window, message, wParam, lParam, result))
    return result;
  TWin32Peer *peer = PeerOf(window);
  if (peer && peer->Control().Kind() == TControlKind::Form) {
    auto &form = static_cast<TForm &>(peer->Control());
    switch (message) {
    case WM_CLOSE:
      RunUserAction([&form] { form.Close(); });
      return 0;
    case WM_DESTROY:
      if (Application().MainWindowHandle == window) {
        Application().MainWindowHandle = nullptr;
        ::PostQuitMessage(0);
      }
      break;
    }
  }
  if (message == WM_NCDESTROY && peer) {
    ::RemovePropA(window, ControlProperty);
    peer->Forget();
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK GroupBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (RouteChildMessage(window, message, wParam, lParam, result))
    return result;
  TWin32Peer *peer = PeerOf(window);
  WNDPROC original = peer ? peer->OriginalProc() : nullptr;
  if (message == WM_ERASEBKGND) { // a group box leaves its inside to its parent, which clips it
    RECT client;
    ::GetClientRect(window, &client);
    ::FillRect(reinterpret_cast<HDC>(wParam), &client, ::GetSysColorBrush(COLOR_BTNFACE));
    return TRUE;
  }
  if (message == WM_NCDESTROY && peer) {
    ::RemovePropA(window, ControlProperty);
    ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    peer->Forget();
  }
  return original ? ::CallWindowProcA(original, window, message, wParam, lParam)
                  : ::DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int MeasureText(const TFontStyle &font, const std::string &text) {
  if (!Application().NativeWindows()) // headless forms lay out the same on both platforms
    return EstimateTextWidth(text);
  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, FontFor(font));
  RECT rect{0, 0, 0, 0};
  ::DrawTextA(dc, text.c_str(), -1, &rect, DT_CALCRECT | DT_SINGLELINE);
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  return rect.right;
}

std::unique_ptr<TControlPeer> CreateNativePeer(TControl &control) {
  auto peer = std::make_unique<TWin32Peer>(control);
  if (!peer->Create())
    return nullptr;
  if (control.Kind() == TControlKind::Form && !Application().MainWindowHandle)
    Application().MainWindowHandle = peer->Handle();
  return peer;
}
