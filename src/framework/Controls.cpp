#include "Controls.h"
#include "Application.h"

#include <algorithm>

int ScaleToScreen(int length) { return length * Application().PixelsPerInch() / 96; }

int EstimateTextWidth(const std::string &text) {
  int characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] != '&' || (i + 1 < text.size() && text[i + 1] == '&' && ++i))
      ++characters; // "&&" shows one ampersand, a single "&" none
  return characters * ScaleToScreen(6);
}

void RunUserAction(const std::function<void()> &action) {
  try {
    action();
  } catch (const std::exception &error) {
    Application().HandleException(error);
  }
}

TControl::TControl(TControlKind kind, std::string name) : kind_(kind), name_(std::move(name)) {}

TControl::~TControl() {
  DestroyPeer();
  SetParent(nullptr);
}

void TControl::SetParent(TWinControl *parent) {
  if (parent_ == parent)
    return;
  if (parent_) {
    auto &siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  parent_ = parent;
  if (parent_) {
    parent_->children_.push_back(this);
    if (parent_->Peer() && !peer_)
      CreatePeers();
  }
}

TForm *TControl::OwnerForm() {
  TControl *control = this;
  while (control && control->kind_ != TControlKind::Form)
    control = control->parent_;
  return static_cast<TForm *>(control);
}

void TControl::StoreBounds(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_)
    return;
  StoreBounds(left, top, width, height);
  if (peer_)
    peer_->BoundsChanged();
  if (auto *container = dynamic_cast<TWinControl *>(this))
    container->Realign();
}

void TControl::SetCaption(const std::string &caption) {
  if (caption == caption_)
    return;
  caption_ = caption;
  FitToCaption();
  if (peer_)
    peer_->TextChanged();
  CaptionChanged();
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_)
    return;
  enabled_ = enabled;
  if (peer_)
    peer_->StateChanged();
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_)
    return;
  visible_ = visible;
  if (peer_)
    peer_->StateChanged();
}

void TControl::Click() {
  if (OnClick)
    OnClick(*this);
}

TMenuItems TControl::ContextMenuItems() {
  for (TControl *control = this; control; control = control->Parent())
    if (control->OnContextMenu)
      return control->OnContextMenu(*this);
  return {};
}

void TControl::Repaint() {
  if (peer_)
    peer_->Repaint();
}

void TControl::CreatePeers() {
  if (!peer_ && Application().NativeWindows())
    peer_ = CreateNativePeer(*this);
}

void TControl::DestroyPeer() { peer_.reset(); }

TWinControl::~TWinControl() {
  for (auto *child : std::vector<TControl *>(children_))
    child->SetParent(nullptr);
}

void TWinControl::CreatePeers() {
  TControl::CreatePeers();
  for (auto *child : std::vector<TControl *>(children_))
    child->CreatePeers();
}

void TWinControl::Realign() {
  int top = 0, bottom = ClientHeight();
  for (auto *child : children_)
    if (child->Align == TAlign::alTop) {
      child->SetBounds(0, top, ClientWidth(), child->Height());
      top += child->Height();
    }
  for (auto *child : children_)
    if (child->Align == TAlign::alClient)
      child->SetBounds(0, top, ClientWidth(), bottom - top);
}

void TLabel::AdjustBounds() {
  if (!AutoSize)
    return;
  int width = MeasureText(Font, Caption());
  int left = Alignment == TAlignment::taRightJustify ? Left() + Width() - width : Left();
  SetBounds(left, Top(), width, ScaleToScreen(13));
}

int TCheckBox::NeededWidth() const { return MeasureText(Font, Caption()) + ScaleToScreen(22); }

void TCheckBox::GrowToFitCaption() {
  if (NeededWidth() > Width())
    SetWidth(NeededWidth());
}

void TEdit::CaptionChanged() {
  if (OnChange)
    OnChange(*this);
}

void TCheckBox::SetChecked(bool checked) {
  if (checked == checked_)
    return;
  checked_ = checked;
  if (Peer())
    Peer()->StateChanged();
  TControl::Click();
}

void TMemo::SetLines(TStringList lines) {
  lines_ = std::move(lines);
  if (Peer())
    Peer()->LinesChanged();
}

void TMemo::UserChangedText(const std::string &text) { lines_ = SplitLines(text); }

void TMemo::ScrollToEnd() {
  if (Peer())
    Peer()->ScrollToEnd();
}

std::vector<TTabSheet *> TPageControl::Pages() const {
  std::vector<TTabSheet *> pages;
  for (auto *child : Controls())
    if (child->Kind() == TControlKind::TabSheet)
      pages.push_back(static_cast<TTabSheet *>(child));
  return pages;
}

void TPageControl::PageBounds(int &left, int &top, int &width, int &height) const {
  // The tab strip takes the top, a thin border the other sides.
  left = ScaleToScreen(4);
  top = ScaleToScreen(24);
  width = Width() - 2 * left;
  height = Height() - top - ScaleToScreen(4);
}

void TPageControl::Realign() {
  int left, top, width, height;
  PageBounds(left, top, width, height);
  for (auto *page : Pages())
    page->SetBounds(left, top, width, height);
}

void TPageControl::SetActivePage(TTabSheet *page) {
  activePage_ = page;
  for (auto *sheet : Pages())
    sheet->SetVisible(sheet == page);
  if (Peer())
    Peer()->ActivePageChanged();
}

void TPageControl::UserSelectedPage(int index) {
  auto pages = Pages();
  if (index >= 0 && index < int(pages.size()))
    SetActivePage(pages[std::size_t(index)]);
}

TForm::TForm(std::string name) : TWinControl(TControlKind::Form, std::move(name)) {}

TForm::~TForm() {
  // Peers go first, children before their parents, while every control still exists.
  for (auto it = owned_.rbegin(); it != owned_.rend(); ++it)
    (*it)->DestroyPeer();
  DestroyPeer();
}

void TForm::Show() {
  if (closed_)
    return;
  if (!Peer())
    CreatePeers();
  bool first = !shown_;
  shown_ = true;
  if (Peer())
    Peer()->StateChanged();
  if (first)
    FormShow();
}

void TForm::Close() {
  if (closed_ || !CanClose())
    return;
  FormClose();
  closed_ = true;
  if (Peer())
    Peer()->StateChanged();
}

void TForm::FocusControl(TControl &control) {
  activeControl_ = &control;
  if (control.Peer())
    control.Peer()->Focus();
}
