// The main window with its real Win32 peers (under Wine, on the test session's display): what the
// keyboard reaches and what the screen shows, which the headless tests cannot see.
#include "app/VersionsForm.h"
#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Desktop.h"
#include "framework/RegFile.h"
#include "framework/WinApi.h"
#include "session/BuildLog.h"
#include "TestRows.h"
#include "TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace {

const char *const Machine = "REGEDIT4\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
                            "\"ProgramFilesDir\"=\"C:\\\\Nowhere\"\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\5.0]\r\n"
                            "\"RootDir\"=\"C:\\\\D5\"\r\n\"Version\"=\"PRO\"\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\C++Builder\\4.0]\r\n"
                            "\"RootDir\"=\"C:\\\\CB4\"\r\n\r\n"
                            "[HKEY_CURRENT_USER\\Software\\Velmora Software\\Quivex Recompile]\r\n"
                            "\"Sources\"=\"C:\\\\Quivex\"\r\n\"Destination\"=\"Compiled\"\r\n";

class VersionsFormWindowTest : public ::testing::Test {
protected:
  TRegistrySandbox sandbox;
  TScriptedDesktop desktop;
  std::unique_ptr<TVersionsForm> form;

  VersionsFormWindowTest() {
    ResetProgramState();
    Application().SetDesktop(&desktop);
    Application().SetParameters({});
    Application().SetNativeWindows(true);
    ImportRegText(Machine);
    form = std::make_unique<TVersionsForm>();
    form->Show();
    Application().ProcessMessages();
  }
  ~VersionsFormWindowTest() override {
    form.reset();
    Application().SetNativeWindows(false);
    Application().SetDesktop(nullptr);
    ResetProgramState();
    EXPECT_TRUE(desktop.Failures.empty()) << desktop.Failures.front();
  }

  static HWND Window(const TControl &control) { return static_cast<HWND>(control.Handle()); }

  // The tab stops the dialog manager visits from a control on, as the Tab key moves, up to the
  // first one seen twice.
  std::vector<HWND> TabStopsFrom(const TControl &start) {
    std::vector<HWND> stops;
    HWND item = Window(start);
    for (int i = 0; i < 64; ++i) {
      item = ::GetNextDlgTabItem(Window(*form), item, FALSE);
      if (!item || item == Window(start))
        break;
      stops.push_back(item);
    }
    return stops;
  }

  // What the screen shows of a window, pixel by pixel.
  static std::vector<COLORREF> Shown(HWND window) {
    RECT client;
    ::GetClientRect(window, &client);
    std::vector<COLORREF> pixels;
    HDC dc = ::GetDC(window);
    for (int y = 0; y < client.bottom; ++y)
      for (int x = 0; x < client.right; ++x)
        pixels.push_back(::GetPixel(dc, x, y));
    ::ReleaseDC(window, dc);
    return pixels;
  }

  // What the window shows once it has painted itself afresh.
  static std::vector<COLORREF> Repainted(HWND window) {
    ::InvalidateRect(window, nullptr, TRUE);
    ::UpdateWindow(window);
    return Shown(window);
  }

  // The window's place in its parent's client area.
  static RECT PlaceInParent(HWND window) {
    RECT bounds;
    ::GetWindowRect(window, &bounds);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(window), reinterpret_cast<POINT *>(&bounds), 2);
    return bounds;
  }
};

TEST_F(VersionsFormWindowTest, RowsTheNotepadButtonAndTheLogAreReachedWithTab) {
  ASSERT_EQ(EnvironmentCount, 2);
  for (const TControl *control :
       {static_cast<TControl *>(Environments[0].CheckBox), static_cast<TControl *>(Environments[1].CheckBox),
        static_cast<TControl *>(&form->Button4), static_cast<TControl *>(&form->Memo1)}) {
    ASSERT_NE(Window(*control), nullptr);
    EXPECT_TRUE(::GetWindowLongA(Window(*control), GWL_STYLE) & WS_TABSTOP) << control->Caption();
  }
  // From BEGIN the Tab key goes round the window and reaches the rows, in row order.
  auto stops = TabStopsFrom(form->Button2);
  auto first = std::find(stops.begin(), stops.end(), Window(*Environments[0].CheckBox));
  ASSERT_NE(first, stops.end());
  ASSERT_NE(first + 1, stops.end());
  EXPECT_EQ(first[1], Window(*Environments[1].CheckBox));
  // On the log page, the button comes before the view.
  form->PageControl1.SetActivePage(&form->TabSheet2);
  form->Button4.SetEnabled(true);
  auto logStops = TabStopsFrom(form->Button4);
  ASSERT_FALSE(logStops.empty());
  EXPECT_EQ(logStops.front(), Window(form->Memo1));
}

TEST_F(VersionsFormWindowTest, TheDestinationLabelShowsItsWholeTextAfterEveryChange) {
  HWND label = Window(form->Label2);
  int rightEdge = PlaceInParent(label).right;
  for (const char *typed : {"D:\\Out", "Compiled", "\\\\Server\\Share\\Out", "Out"}) {
    // Typed into the edit: its notification changes the label.
    ::SetWindowTextA(Window(form->Edit2), typed);
    Application().ProcessMessages();
    std::string caption = form->Label2.Caption();
    char shownText[64] = {};
    ::GetWindowTextA(label, shownText, sizeof shownText);
    EXPECT_EQ(shownText, caption) << typed;
    RECT place = PlaceInParent(label);
    EXPECT_EQ(place.right, rightEdge) << typed;
    EXPECT_EQ(place.right - place.left, MeasureText(form->Label2.Font, caption)) << typed;
    // What the screen shows is the text as the label paints it afresh, not an older painting.
    auto shown = Shown(label);
    auto repainted = Repainted(label);
    ASSERT_EQ(shown.size(), repainted.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < shown.size(); ++i)
      differing += shown[i] != repainted[i] ? 1 : 0;
    EXPECT_EQ(differing, 0u) << typed;
  }
}

} // namespace
