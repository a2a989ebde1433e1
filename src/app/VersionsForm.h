// The main window: the two folder fields, the three options, one row per detected environment, the
// log page, and BEGIN. Its handlers only dispatch; the work lives in the subsystems.
#pragma once
#include "framework/Controls.h"
#include "ideintegration/Uninstall.h"
#include "session/BuildHost.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

class TSourceFiles;
class TSourceStaging;
class TWindowThreadCalls;

class TVersionsForm : public TForm, public TBuildHost {
public:
  TVersionsForm();
  ~TVersionsForm() override;

  // The components, in declaration order.
  TGroupBox GroupBox1{"GroupBox1"};
  TButton Button1{"Button1"};
  TButton Button2{"Button2"};
  TButton Button3{"Button3"};
  TLabel Label1{"Label1"};
  TEdit Edit1{"Edit1"};
  TSpeedButton SpeedButton1{"SpeedButton1"};
  TLabel Label2{"Label2"};
  TEdit Edit2{"Edit2"};
  TCheckBox CBMakeXFM{"CBMakeXFM"};
  TCheckBox CBInstall{"CBInstall"};
  TPageControl PageControl1{"PageControl1"};
  TTabSheet TabSheet1{"TabSheet1"};
  TTabSheet TabSheet2{"TabSheet2"};
  TMemo Memo1{"Memo1"};
  TPanel Panel1{"Panel1"};
  TButton Button4{"Button4"};
  TCheckBox CBDCube{"CBDCube"};
  TMemo OriginalFiles{"OriginalFiles"};

  // Event handlers.
  void FormCreate();
  void Button1Click(TControl &sender);
  void Button3Click(TControl &sender);
  void Button4Click(TControl &sender);
  void SpeedButton1Click(TControl &sender);
  void Edit2Change(TControl &sender);
  void EnableBeginButton(TControl &sender);
  void Button2Click(TControl &sender);

  // The text after "OK " in a row's status: "1h  2m  3s", " 2m  0s", " 5s" or "".
  static std::string ElapsedText(std::chrono::steady_clock::time_point start,
                                 std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());
  bool RunInProgress() const override { return runInProgress_; }

  // How many environments a run builds at once: the saved setting "Jobs" (a DWORD; 0: one per
  // processor), which a run without a person sets from /jobs. 1 builds them one after another.
  int Jobs = 1;
  // While a run builds environments at once (Jobs above 1).
  bool BuildsAtOnce() const { return buildsAtOnce_; }
  // What the calling thread's steps take as the window: the environment's own host on the thread of
  // an environment that builds beside others, else the window itself.
  TBuildHost &Host();

  static bool IsAbsolutePath(const std::string &text);

  // The automatic install mode: the first row whose compiled design packages (or design assembly)
  // lie below the current folder, or -1; DestinationBase becomes the folder that holds the trees.
  int FindInstallableEnvironment(bool netOnly);
  // The folder above folder: "C:\Out\Delphi7\" gives "C:\Out", "C:\" gives "".
  static std::string ParentFolder(std::string folder);
  // The automatic install mode's place in the first showing (and in an install without a person):
  // true when it took over.
  bool StartAutomaticInstall();
  // ZelInstall.exe /uninstall: the environment of the tree found, asked, then uninstalled.
  bool StartAutomaticUninstall();

  // TBuildHost
  bool AskYesNo(const std::string &message) override;
  std::string DestinationFolder(const std::string &base) override;
  bool InstallChecked() const override { return CBInstall.Checked(); }
  std::string SourceFieldText() const override { return Edit1.Text(); }
  TStringList OriginalFileNames() const override { return OriginalFiles.Lines(); }
  [[noreturn]] void ReportBuildError(int index, const std::exception &error) override;
  void FlushBuildLog() override;
  // The lines ReportBuildError writes into the calling thread's log.
  static void LogBuildError(const std::exception &error);
  // What ReportBuildError shows of a row's failure besides the log: "ERROR" in the row, the log
  // page in front.
  virtual void ShowBuildError(int index, const std::exception &error);

  // What a run that builds environments at once tells of them, on the window's thread: row index
  // starts; its questions follow (several environments ask in turns); it has ended, built or not.
  virtual void EnvironmentStarted(int index) {}
  virtual void QuestionsFrom(int index) {}
  virtual void EnvironmentEnded(int index) {}

  // The overridable operations, in slot order.
  void CopyInstaller(const std::string &folder) override;
  void BeforeCompile(int index, const std::string &baseCommandLine, const std::string &sourceFolder) override {}
  void EnsureEnvironmentClosed(int index, const std::string &kindName, const std::string &suffix) override;
  void BuildEnvironment(int index) override;
  bool StandardEditionBuild() override;

  void LoadSettings();
  void SaveSettings();

  // The steps of a run after the build of an environment.
  virtual void InstallEnvironment(int index, bool silent);
  virtual void RebuildDecisionCube(int index);
  // Undoes every change this program made to the environment, after asking, under the
  // environment's install lock (raises EAnotherRun when another run holds it); the log says what
  // was restored.
  TUninstallOutcome UninstallQuivexFrom(int index);

  // The row menu: what a right-click on a row of GroupBox1 offers for its environment (nothing
  // while a run is in progress), and its actions.
  TMenuItems RowMenuItems(TControl &target);
  void CheckEnvironmentClick(int index);
  void UninstallEnvironmentClick(int index);

protected:
  void FormShow() override;
  void FormClose() override;
  bool CanClose() override { return !runInProgress_; } // a running build is never cut off

private:
  void CreateComponents();
  void PrepareFolders();
  void BuildTickedEnvironments();
  void BuildOneEnvironment(int index);
  void BuildEnvironmentsAtOnce(const std::vector<int> &rows, int atOnce);
  void BuildOneEnvironmentBesideOthers(int index, const TSourceFiles &sources,
                                       std::unique_ptr<TSourceStaging> &staging, TWindowThreadCalls &calls);
  // While a run is in progress, nothing that starts or changes a run reacts.
  void LockControls(bool locked);
  void ShowToolLineInCaption(bool during);
  bool runInProgress_ = false;
  bool buildsAtOnce_ = false;
  std::string idleCaption_; // the caption without a tool's line
  bool beginEnabledBeforeRun_ = true;
  bool rowTicksChangedInRun_ = false;
};

// The registry key of the saved settings, below HKEY_CURRENT_USER.
extern const char *const SettingsKey;
