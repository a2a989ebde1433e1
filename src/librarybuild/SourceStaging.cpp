#include "SourceStaging.h"

#include "CompileProcs.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/Text.h"

#include <chrono>
#include <set>
#include <thread>
#include <vector>

namespace {

// The files below folder by their paths relative to it ("Keys\Quivex.snk"), leaving out the folder
// whose comparable path is excluded.
void ListFilesBelow(const std::string &folder, const std::string &prefix, const std::string &excluded,
                    std::vector<std::string> &files) {
  for (const auto &entry : Fs::FindFiles(folder + "\\*")) {
    std::string path = folder + "\\" + entry.Name;
    if (!entry.IsDirectory)
      files.push_back(prefix + entry.Name);
    else if (Fs::ComparablePath(path) != excluded)
      ListFilesBelow(path, prefix + entry.Name + "\\", excluded, files);
  }
}

std::vector<std::string> FilesBelow(const std::string &folder, const std::string &excluded = "") {
  std::vector<std::string> files;
  ListFilesBelow(folder, "", excluded, files);
  return files;
}

// A folder with everything in it. The product removes no other tree: this one is its own copy.
bool RemoveTree(const std::string &folder) {
  bool removed = true;
  for (const auto &entry : Fs::FindFiles(folder + "\\*")) {
    std::string path = folder + "\\" + entry.Name;
    if (entry.IsDirectory) {
      removed = RemoveTree(path) && removed;
    } else {
      if (entry.IsReadOnly)
        Fs::SetReadOnly(path, false);
      removed = Fs::DeleteFile(path) && removed;
    }
  }
  return Fs::RemoveFolder(folder) && removed;
}

} // namespace

bool TSourceStaging::TIgnoringCase::operator()(const std::string &a, const std::string &b) const {
  return UpperCase(a) < UpperCase(b);
}

std::string StagingFolder(const TBuildHost &host) {
  return host.DestinationBase + "\\Staging\\" + host.KindName + host.PackageSuffix;
}

TSourceFiles::TSourceFiles(std::string sourceFolder, const std::string &destinationBase)
    : folder_(std::move(sourceFolder)) {
  for (std::string &relative : FilesBelow(folder_, Fs::ComparablePath(destinationBase))) {
    auto bytes = Fs::ReadWholeFile(folder_ + "\\" + relative);
    if (!bytes)
      throw EFileError("Cannot open file \"" + folder_ + "\\" + relative + "\". " +
                       SystemErrorMessage(Fs::LastErrorCode()));
    files_.push_back({std::move(relative), std::move(*bytes)});
  }
}

TSourceStaging::TSourceStaging(const TSourceFiles &sources, std::string folder)
    : sourceFolder_(sources.Folder()), folder_(std::move(folder)) {
  if (Fs::DirectoryExists(folder_))
    RemoveTree(folder_); // what is left of it shows at the first copy that fails
  Fs::ForceFolders(folder_);
  for (const auto &file : sources.Files()) {
    std::string target = folder_ + "\\" + file.RelativePath;
    if (file.RelativePath.find('\\') != std::string::npos)
      Fs::ForceFolders(FolderOf(target));
    if (!Fs::WriteNewFile(target, file.Bytes))
      throw Exception("Cannot copy file: " + sourceFolder_ + "\\" + file.RelativePath + " to " + target);
    copied_[file.RelativePath] = {FileStateOf(file.Bytes), Fs::LastWriteTime(target)};
  }
}

void TSourceStaging::ReturnChanges(int index) {
  CleanSourceFolder(sourceFolder_, index);
  std::set<std::string, TIgnoringCase> present;
  for (const std::string &relative : FilesBelow(folder_)) {
    present.insert(relative);
    auto copied = copied_.find(relative);
    if (copied != copied_.end()) {
      const std::string path = folder_ + "\\" + relative;
      auto written = Fs::LastWriteTime(path);
      if ((written && written == copied->second.Written) || copied->second.State == CurrentFileState(path))
        continue; // as it was copied
    }
    if (relative.find('\\') != std::string::npos)
      Fs::ForceFolders(FolderOf(sourceFolder_ + "\\" + relative));
    CopyFileChecked(folder_ + "\\" + relative, sourceFolder_ + "\\" + relative);
  }
  for (const auto &[relative, state] : copied_)
    if (!present.count(relative))
      DeleteFileIfExists(sourceFolder_ + "\\" + relative);
}

bool TSourceStaging::Remove() {
  bool removed = RemoveTree(folder_);
  // Under Wine a tool's console may hold the folder, as its current folder, for a moment after the
  // tool has ended.
  for (int attempt = 0; !removed && attempt < 20 && Fs::DirectoryExists(folder_); ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    removed = RemoveTree(folder_);
  }
  Fs::RemoveFolder(FolderOf(folder_)); // "Staging", once the last copy in it has gone
  return removed;
}
