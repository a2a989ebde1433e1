// Forms and standard controls. Each control keeps its whole state (caption, bounds, checked,
// enabled, tag, events) in the object, so that forms run headless in tests. When the application
// uses native windows, a peer (an HWND of the standard window class) mirrors the state and feeds
// the user's input back through the User... methods.
#pragma once
#include "TextLines.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TControl;
class TWinControl;
class TForm;

using TNotifyEvent = std::function<void(TControl &sender)>;

// One entry of a context menu: its caption and what choosing it does.
struct TMenuItem {
  std::string Caption;
  std::function<void()> OnClick;
};
using TMenuItems = std::vector<TMenuItem>;
// The items a right-click on target offers.
using TContextMenuEvent = std::function<TMenuItems(TControl &target)>;

enum class TAlign { alNone, alTop, alClient };
enum class TAlignment { taLeftJustify, taRightJustify };
enum class TControlKind { Form, Label, Edit, CheckBox, Button, SpeedButton, GroupBox, Panel, Memo, PageControl, TabSheet };

struct TFontStyle {
  std::string Name = "MS Sans Serif";
  int Height = 11; // pixels at 96 dots per inch
  bool Bold = false;
};

// The native mirror of a control; see the Win32 implementation.
class TControlPeer {
public:
  virtual ~TControlPeer() = default;
  virtual void TextChanged() {}
  virtual void BoundsChanged() {}
  virtual void StateChanged() {} // enabled, visible, checked
  virtual void LinesChanged() {}
  virtual void ActivePageChanged() {}
  virtual void Repaint() {}
  virtual void Focus() {}
  virtual void ScrollToEnd() {}
  virtual void *Handle() const = 0;
};

class TControl {
public:
  TControl(TControlKind kind, std::string name);
  virtual ~TControl();
  TControl(const TControl &) = delete;
  TControl &operator=(const TControl &) = delete;

  TControlKind Kind() const { return kind_; }
  const std::string &Name() const { return name_; }

  TWinControl *Parent() const { return parent_; }
  void SetParent(TWinControl *parent);
  TForm *OwnerForm(); // the form this control stands on, if any

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int left) { SetBounds(left, top_, width_, height_); }
  void SetTop(int top) { SetBounds(left_, top, width_, height_); }
  void SetWidth(int width) { SetBounds(left_, top_, width, height_); }

  // The caption of labels, buttons, check boxes, group boxes and forms; the text of edits.
  const std::string &Caption() const { return caption_; }
  void SetCaption(const std::string &caption);

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  int Tag = 0;
  int TabOrder = -1; // -1: takes no focus
  TAlign Align = TAlign::alNone;
  TFontStyle Font;
  TNotifyEvent OnClick;
  // Answers a right-click on this control or on a child without a handler of its own.
  TContextMenuEvent OnContextMenu;

  // What a click does: the event. Peers and tests call it for a user's click.
  virtual void Click();
  // What a right-click on this control offers: the nearest handler's items, up the parents; none
  // shows no menu.
  TMenuItems ContextMenuItems();
  void Repaint();

  TControlPeer *Peer() const { return peer_.get(); }
  void *Handle() const { return peer_ ? peer_->Handle() : nullptr; }
  // Creates the native peer of this control and its children (native windows only).
  virtual void CreatePeers();
  void DestroyPeer();

protected:
  // A control sized to its caption takes its new size here, before its peer shows the new text:
  // a native label paints the text at once, and a text painted into the old, narrower width wraps
  // and stays clipped when the window is then widened (the old bits are copied along).
  virtual void FitToCaption() {}
  virtual void CaptionChanged() {}
  // Sets bounds without notifying the peer (a peer reporting a native size).
  void StoreBounds(int left, int top, int width, int height);
  friend class TWinControl;

private:
  TControlKind kind_;
  std::string name_;
  TWinControl *parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  std::string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  std::unique_ptr<TControlPeer> peer_;
};

class TWinControl : public TControl {
public:
  using TControl::TControl;
  ~TWinControl() override;
  const std::vector<TControl *> &Controls() const { return children_; }
  void CreatePeers() override;
  // Lays out the children with an alignment inside this control's client area.
  virtual void Realign();
  // The client area's size (a tab sheet inside its page control, a form's client area).
  virtual int ClientWidth() const { return Width(); }
  virtual int ClientHeight() const { return Height(); }

private:
  friend class TControl;
  std::vector<TControl *> children_;
};

class TLabel : public TControl {
public:
  explicit TLabel(std::string name) : TControl(TControlKind::Label, std::move(name)) {}
  // Width and height follow the caption; a right-aligned label keeps its right edge.
  bool AutoSize = false;
  TAlignment Alignment = TAlignment::taLeftJustify;
  void AdjustBounds();
  TControl *FocusControl = nullptr; // the control its accelerator key focuses

protected:
  void FitToCaption() override { AdjustBounds(); }
};

class TEdit : public TControl {
public:
  explicit TEdit(std::string name) : TControl(TControlKind::Edit, std::move(name)) {}
  const std::string &Text() const { return Caption(); }
  void SetText(const std::string &text) { SetCaption(text); }
  TNotifyEvent OnChange;
  void UserChangedText(const std::string &text) { SetCaption(text); }

protected:
  void CaptionChanged() override;
};

class TCheckBox : public TControl {
public:
  explicit TCheckBox(std::string name) : TControl(TControlKind::CheckBox, std::move(name)) {}
  bool Checked() const { return checked_; }
  // Every change of state, by the user or the program, runs OnClick.
  void SetChecked(bool checked);
  void Click() override { SetChecked(!checked_); }
  // Widens the box when its caption needs more room than it has (never narrows it).
  void GrowToFitCaption();
  // The width the box and its caption need.
  int NeededWidth() const;

private:
  bool checked_ = false;
};

class TButton : public TControl {
public:
  explicit TButton(std::string name) : TControl(TControlKind::Button, std::move(name)) {}
};

class TSpeedButton : public TControl {
public:
  explicit TSpeedButton(std::string name) : TControl(TControlKind::SpeedButton, std::move(name)) {}
  bool Flat = false;
};

class TGroupBox : public TWinControl {
public:
  explicit TGroupBox(std::string name) : TWinControl(TControlKind::GroupBox, std::move(name)) {}
};

class TPanel : public TWinControl {
public:
  explicit TPanel(std::string name) : TWinControl(TControlKind::Panel, std::move(name)) {}
};

class TMemo : public TControl {
public:
  explicit TMemo(std::string name) : TControl(TControlKind::Memo, std::move(name)) {}
  const TStringList &Lines() const { return lines_; }
  void SetLines(TStringList lines);
  void UserChangedText(const std::string &text);
  void ScrollToEnd();
  bool WordWrap = true;
  bool ScrollBars = false;

private:
  TStringList lines_;
};

class TTabSheet;

class TPageControl : public TWinControl {
public:
  explicit TPageControl(std::string name) : TWinControl(TControlKind::PageControl, std::move(name)) {}
  std::vector<TTabSheet *> Pages() const;
  TTabSheet *ActivePage() const { return activePage_; }
  void SetActivePage(TTabSheet *page);
  void UserSelectedPage(int index);
  // The area the pages fill, inside the tabs and the border.
  void PageBounds(int &left, int &top, int &width, int &height) const;
  // Every page fills the page area.
  void Realign() override;

private:
  TTabSheet *activePage_ = nullptr;
};

class TTabSheet : public TWinControl {
public:
  explicit TTabSheet(std::string name) : TWinControl(TControlKind::TabSheet, std::move(name)) {}
};

class TForm : public TWinControl {
public:
  explicit TForm(std::string name);
  ~TForm() override;

  // Controls made at run time belong to the form and live as long as it does.
  template <typename T, typename... Args> T &Own(Args &&...args) {
    auto control = std::make_unique<T>(std::forward<Args>(args)...);
    T &result = *control;
    owned_.push_back(std::move(control));
    return result;
  }

  int ClientWidth() const override { return Width(); }
  int ClientHeight() const override { return Height(); }
  bool Position_ScreenCenter = true;

  // Shows the form; the first showing runs FormShow.
  void Show();
  // Asks the form to close: CanClose decides, FormClose runs, the window goes.
  void Close();
  bool Closed() const { return closed_; }
  bool Showing() const { return shown_ && !closed_; }

  // The focused control (native windows: the window's own focus).
  void FocusControl(TControl &control);
  TControl *ActiveControl() const { return activeControl_; }

protected:
  virtual void FormShow() {}
  virtual bool CanClose() { return true; }
  virtual void FormClose() {}

private:
  std::vector<std::unique_ptr<TControl>> owned_;
  bool shown_ = false;
  bool closed_ = false;
  TControl *activeControl_ = nullptr;
};

// The width of a single-line text in a font, accelerator marks not counted: measured with the
// screen's font when there are native windows, estimated from an average character otherwise.
int MeasureText(const TFontStyle &font, const std::string &text);

// The headless estimate: the dialog font's average character width, rounded up.
int EstimateTextWidth(const std::string &text);

// Scales a design-time length (96 dots per inch) to the screen.
int ScaleToScreen(int length);

// Native peers: the Win32 build supplies them; the factory returns null when there are none.
std::unique_ptr<TControlPeer> CreateNativePeer(TControl &control);
// Runs a handler for a user's action; an error goes to the application's top-level handler
// instead of crossing a window procedure.
void RunUserAction(const std::function<void()> &action);
