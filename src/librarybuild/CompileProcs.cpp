#include "CompileProcs.h"

#include "EnvironmentNames.h"
#include "changes/ChangeBatch.h"
#include "changes/EnvironmentChanges.h"
#include "changes/Plan.h"
#include "environments/Environments.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/LocalTime.h"
#include "framework/Resources.h"
#include "process/ExecuteCommand.h"
#include "session/BuildLog.h"

#include <ctime>

const std::uint32_t RunStartFileDate = CurrentDosDateTime();

std::uint32_t CurrentDosDateTime() {
  std::tm local = LocalTime(std::time(nullptr));
  std::uint32_t date = std::uint32_t((local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
  std::uint32_t time = std::uint32_t(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
  return date << 16 | time;
}

std::uint64_t FileTimeFromDosDateTime(std::uint32_t dosDateTime) {
  std::tm local{};
  local.tm_year = int(dosDateTime >> 25) + 80;
  local.tm_mon = int((dosDateTime >> 21) & 0x0F) - 1;
  local.tm_mday = int((dosDateTime >> 16) & 0x1F);
  local.tm_hour = int((dosDateTime >> 11) & 0x1F);
  local.tm_min = int((dosDateTime >> 5) & 0x3F);
  local.tm_sec = int(dosDateTime & 0x1F) * 2;
  local.tm_isdst = -1;
  std::time_t seconds = std::mktime(&local);
  return 116444736000000000ULL + std::uint64_t(seconds) * 10000000ULL;
}

namespace {
void CheckPathLength(const std::string &path) {
  if (path.size() > MaxPathLength)
    throw Exception("Path too long (more than " + std::to_string(MaxPathLength) + " characters): " + path);
}
} // namespace

TStringList ListFiles(const std::string &mask) {
  TStringList names;
  for (const auto &entry : Fs::FindFiles(mask))
    if (!entry.IsDirectory)
      names.push_back(entry.Name);
  // A dry run's later steps find the files its earlier ones would have made or removed (and a
  // batch's, the files it has noted).
  if (TPlanScope *plan = ChangeOverlay())
    return plan->FilesMatching(mask, names);
  return names;
}

void CopyFileChecked(const std::string &source, const std::string &target) {
  // A longer path would be cut short by the platform's copy call: refuse it before copying.
  CheckPathLength(source);
  CheckPathLength(target);
  if (!Changes::CopyFile(source, target, false))
    throw Exception("Cannot copy file: " + source + " to " + target);
  if (StampCopiedFiles)
    Changes::SetLastWriteTime(target, FileTimeFromDosDateTime(RunStartFileDate));
}

void CopyFileInto(const std::string &sourceFolder, const std::string &name, const std::string &targetFolder) {
  CopyFileChecked(sourceFolder + "\\" + name, targetFolder + "\\" + name);
}

void CopyFileList(const std::string &sourceFolder, const TStringList &names,
                  const std::string &targetFolder) {
  for (const auto &name : names)
    CopyFileInto(sourceFolder, name, targetFolder);
}

void CopyFilesByMask(const std::string &sourceFolder, const std::string &mask,
                     const std::string &targetFolder) {
  CopyFileList(sourceFolder, ListFiles(sourceFolder + "\\" + mask), targetFolder);
}

void MoveFileInto(const std::string &sourceFolder, const std::string &name, const std::string &targetFolder) {
  if (!Changes::MoveFile(sourceFolder + "\\" + name, targetFolder + "\\" + name))
    throw Exception("Error moving file: " + name + " from " + sourceFolder + " to: " + targetFolder);
}

void MoveFileReplacing(const std::string &sourceFolder, const std::string &name,
                       const std::string &targetFolder) {
  std::string target = targetFolder + "\\" + name;
  if (Changes::FileExists(target))
    Changes::DeleteFile(target);
  MoveFileInto(sourceFolder, name, targetFolder);
}

void MoveFileList(const std::string &sourceFolder, const TStringList &names,
                  const std::string &targetFolder) {
  for (const auto &name : names)
    MoveFileInto(sourceFolder, name, targetFolder);
}

void MoveFilesByMask(const std::string &sourceFolder, const std::string &mask,
                     const std::string &targetFolder) {
  MoveFileList(sourceFolder, ListFiles(sourceFolder + "\\" + mask), targetFolder);
}

void DeleteFilesByMask(const std::string &folder, const std::string &mask) {
  for (const auto &name : ListFiles(folder + "\\" + mask))
    if (!Changes::DeleteFile(folder + "\\" + name))
      throw Exception("Error " + std::to_string(Fs::LastErrorCode()) + " deleting file: " + folder + "\\" +
                      name);
}

void EmptyFolder(const std::string &folder) {
  DeleteFilesByMask(folder, "*.*");
}

void DeleteFileIfExists(const std::string &path) {
  if (Changes::FileExists(path) && !Changes::DeleteFile(path))
    throw Exception("Error deleting file: " + path);
}

std::string SystemFolder() {
  return Fs::SystemFolder();
}

std::string PackageDescription(const std::string &packagePath) {
  if (TPlanScope *plan = TPlanScope::Current()) {
    // A package the plan's compile would write says what its sources say.
    if (auto description = plan->Description(packagePath))
      return *description;
    if (!plan->FileUnknown(packagePath).empty() || !plan->FileExists(packagePath))
      throw Exception("Can't load package " + packagePath +
                      ".\r\nIt does not exist before the build, and its " +
                      "sources do not say what it holds.");
  }
  std::optional<std::string> bytes;
  std::uint32_t error = 0;
  if (!LoadDataResource(packagePath, "DESCRIPTION", bytes, error))
    throw Exception("Can't load package " + packagePath + ".\r\n" + SystemErrorMessage(error));
  if (!bytes)
    return {};
  std::string text = AnsiFromUtf16(*bytes);
  auto end = text.find('\0'); // the resource holds the terminating zero too
  return end == std::string::npos ? text : text.substr(0, end);
}

void ChangeFolder(const std::string &folder) {
  if (TEnvironmentThread *thread = TEnvironmentThread::Current()) {
    // Beside other builds the process's current folder stays as it is: the folder is this build's
    // tools' own, and it must exist all the same.
    if (!Fs::DirectoryExists(folder))
      throw Exception("Cannot change the current folder to " + folder + ". " +
                      SystemErrorMessage(Fs::ErrorPathNotFound));
    thread->ToolFolder = folder;
    return;
  }
  if (!Fs::SetCurrentFolder(folder))
    throw Exception("Cannot change the current folder to " + folder + ". " +
                    SystemErrorMessage(Fs::LastErrorCode()));
}

void CreateFolderIfMissing(const std::string &folder) {
  if (!Changes::DirectoryExists(folder))
    Changes::CreateFolder(folder);
}

void CleanSourceFolder(const std::string &sourceFolder, int index) {
  for (const char *mask : {"*.dof", "*.cfg", "*.dcu", "*.dcp", "*.bpl"})
    DeleteFilesByMask(sourceFolder, mask);
  if (!Environments[std::size_t(index)].IsDelphi)
    for (const char *mask : {"*.mak", "*.tds", "*.lib", "*.bpi", "*.obj", "*.hpp"})
      DeleteFilesByMask(sourceFolder, mask);
}

namespace {
// Moves older copies of the library's units out of an environment's folders, asking once.
class TOldFileBackup {
public:
  explicit TOldFileBackup(TBuildHost &host) : host_(host) {}

  void MoveFrom(const std::string &folder, const TStringList &units,
                std::initializer_list<const char *> extensions) {
    for (const auto &unit : units) {
      if (unit.empty())
        continue;
      for (const char *extension : extensions)
        MoveOne(folder, unit + extension);
    }
  }

private:
  void MoveOne(const std::string &folder, const std::string &name) {
    if (!Fs::FileExists(folder + "\\" + name))
      return;
    // Beside other builds an environment before this one may move the same files (a CLX row
    // shares the folders of its environment): they are looked at again in this one's turn.
    Changes::AwaitTurn();
    if (!Fs::FileExists(folder + "\\" + name))
      return;
    if (!asked_) {
      if (!host_.AskYesNo("Old Quivex Standard files found at: " + folder +
                          "\rThose files should be moved to a backup folder. Continue?"))
        AbortCompilation("");
      asked_ = true;
    }
    std::string backup = folder + "\\Backup_Quivex";
    CreateFolderIfMissing(backup);
    MoveFileReplacing(folder, name, backup);
  }

  TBuildHost &host_;
  bool asked_ = false;
};
} // namespace

void BackupOldLibraryFiles(TBuildHost &host, int index) {
  const TEnviron &row = Environments[std::size_t(index)];
  TStringList units = host.OriginalFileNames();
  TOldFileBackup backup(host);
  backup.MoveFrom(row.RootDir + "\\lib" + (row.IsDelphi ? "" : "\\obj"), units,
                  {".obj", ".dcu", ".res", ".dfm"});
  if (!row.IsDelphi)
    backup.MoveFrom(row.RootDir + "\\include\\vcl", units, {".hpp"});
}

void CopyFormFiles(const std::string &sourceFolder, const std::string &extension,
                   const std::string &targetFolder) {
  for (const auto &name : ListFiles(targetFolder + "\\*.dcu")) {
    auto dot = name.find_last_of('.');
    std::string form = (dot == std::string::npos ? name : name.substr(0, dot)) + extension;
    if (Changes::FileExists(sourceFolder + "\\" + form)) // a dry run's forms too
      CopyFileInto(sourceFolder, form, targetFolder);
  }
}
