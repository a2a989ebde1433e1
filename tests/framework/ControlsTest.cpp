#include "framework/Controls.h"
#include "framework/Desktop.h"
#include "framework/Application.h"
#include "framework/Exception.h"
#include "TestSupport.h"

#ifdef _WIN32
#include "framework/WinApi.h"
#endif

#include <gtest/gtest.h>

namespace {

TEST(Controls, CheckBoxesRunTheirClickHandlerOnEveryChangeOfState) {
  TCheckBox box("Box");
  int clicks = 0;
  box.OnClick = [&](TControl &) { ++clicks; };
  box.SetChecked(true);
  box.SetChecked(true); // no change, no click
  EXPECT_EQ(clicks, 1);
  box.Click(); // a user's click toggles
  EXPECT_FALSE(box.Checked());
  EXPECT_EQ(clicks, 2);
}

TEST(Controls, EditsReportChangedTextOnly) {
  TEdit edit("Edit");
  std::vector<std::string> seen;
  edit.OnChange = [&](TControl &sender) { seen.push_back(static_cast<TEdit &>(sender).Text()); };
  edit.SetText("Compiled");
  edit.SetText("Compiled");
  edit.UserChangedText("D:\\Out");
  EXPECT_EQ(seen, (std::vector<std::string>{"Compiled", "D:\\Out"}));
}

TEST(Controls, ContainersLayOutAlignedChildrenAndPagesFillThePageControl) {
  TForm form("Form");
  TPageControl pages("Pages");
  TTabSheet first("First"), second("Second");
  TPanel top("Top");
  TMemo memo("Memo");
  pages.SetParent(&form);
  first.SetParent(&pages);
  second.SetParent(&pages);
  top.SetParent(&second);
  memo.SetParent(&second);
  top.Align = TAlign::alTop;
  memo.Align = TAlign::alClient;
  top.SetBounds(0, 0, 0, 41);
  pages.SetBounds(8, 72, 673, 297);
  EXPECT_EQ(second.Width(), 665);
  EXPECT_EQ(second.Height(), 269);
  EXPECT_EQ(first.Width(), 665);
  EXPECT_EQ(top.Width(), 665);
  EXPECT_EQ(memo.Top(), 41);
  EXPECT_EQ(memo.Height(), 269 - 41);
  pages.SetActivePage(&second);
  EXPECT_FALSE(first.Visible());
  EXPECT_TRUE(second.Visible());
  pages.UserSelectedPage(0);
  EXPECT_EQ(pages.ActivePage(), &first);
}

TEST(Controls, AutoSizedLabelsFollowTheirTextAndRightAlignedOnesKeepTheirRightEdge) {
  TLabel label("Label");
  label.SetBounds(28, 41, 98, 13);
  label.Alignment = TAlignment::taRightJustify;
  label.AutoSize = true;
  label.SetCaption("Absolute Destination:");
  EXPECT_EQ(label.Left() + label.Width(), 126);
  EXPECT_EQ(label.Width(), MeasureText(label.Font, "Absolute Destination:"));
  EXPECT_EQ(MeasureText(label.Font, "&Log"), MeasureText(label.Font, "Log")); // the accelerator mark takes no room
  EXPECT_GT(MeasureText(label.Font, "A && B"), MeasureText(label.Font, "A  B"));
}

TEST(Controls, FormsCloseOnlyWhenTheyAgree) {
  struct TTestForm : TForm {
    TTestForm() : TForm("Test") {}
    bool allow = false;
    int shows = 0, closes = 0;
    void FormShow() override { ++shows; }
    bool CanClose() override { return allow; }
    void FormClose() override { ++closes; }
  } form;
  form.Show();
  form.Show();
  EXPECT_EQ(form.shows, 1);
  form.Close();
  EXPECT_FALSE(form.Closed());
  form.allow = true;
  form.Close();
  form.Close();
  EXPECT_TRUE(form.Closed());
  EXPECT_EQ(form.closes, 1);
}

TEST(Controls, TheTopLevelHandlerDropsTheSilentAbortAndEndsOtherMessagesWithAFullStop) {
  TScriptedDesktop desktop;
  Application().SetDesktop(&desktop);
  desktop.ExpectError("Cannot open registry key: LOCAL_MACHINE.");
  desktop.ExpectError("Compilation aborted.");
  RunUserAction([] { throw EAbort(); });
  RunUserAction([] { throw Exception("Cannot open registry key: LOCAL_MACHINE"); });
  RunUserAction([] { throw Exception("Compilation aborted."); });
  Application().SetDesktop(nullptr);
  ExpectScriptFollowed(desktop);
}

TEST(Controls, AnErrorOfTheFirstShowingGoesToTheTopLevelHandler) {
  struct TFailingForm : TForm {
    TFailingForm() : TForm("Failing") {}
    void FormShow() override {
#ifdef _WIN32
      ::PostQuitMessage(0); // a headless form has no window whose end would end the message loop
#endif
      throw Exception("Cannot create key \\Software\\Velmora Software\\Quivex Recompile");
    }
  } form;
  TScriptedDesktop desktop;
  Application().SetDesktop(&desktop);
  desktop.ExpectError("Cannot create key \\Software\\Velmora Software\\Quivex Recompile.");
  Application().Run(form);
  Application().SetDesktop(nullptr);
  EXPECT_TRUE(form.Showing());
  ExpectScriptFollowed(desktop);
}

} // namespace
