// The file operations of the build and the install, each with its one failure message, and the
// staging steps built on them.
#pragma once
#include "framework/TextLines.h"
#include "session/BuildHost.h"

#include <cstdint>
#include <string>

// The program's start time as a packed DOS date and time (local clock, two-second resolution):
// every copied file gets it as its last-write time.
extern const std::uint32_t RunStartFileDate;

// The longest path the copy operations accept (the platform's classic limit).
constexpr std::size_t MaxPathLength = 255;

TStringList ListFiles(const std::string &mask);
void CopyFileChecked(const std::string &source, const std::string &target);
void CopyFileInto(const std::string &sourceFolder, const std::string &name, const std::string &targetFolder);
void CopyFileList(const std::string &sourceFolder, const TStringList &names, const std::string &targetFolder);
void CopyFilesByMask(const std::string &sourceFolder, const std::string &mask, const std::string &targetFolder);
void MoveFileInto(const std::string &sourceFolder, const std::string &name, const std::string &targetFolder);
void MoveFileReplacing(const std::string &sourceFolder, const std::string &name, const std::string &targetFolder);
void MoveFileList(const std::string &sourceFolder, const TStringList &names, const std::string &targetFolder);
void MoveFilesByMask(const std::string &sourceFolder, const std::string &mask, const std::string &targetFolder);
void DeleteFilesByMask(const std::string &folder, const std::string &mask);
void EmptyFolder(const std::string &folder);
void DeleteFileIfExists(const std::string &path);
std::string SystemFolder();
// The description of a compiled package; raises "Can't load package <path>." and the reason.
std::string PackageDescription(const std::string &packagePath);

// Makes folder the current folder; raises the platform's error when it cannot.
void ChangeFolder(const std::string &folder);
// Creates one folder level when it is missing; a failure shows at the next use of the folder.
void CreateFolderIfMissing(const std::string &folder);

void CleanSourceFolder(const std::string &sourceFolder, int index);
void BackupOldLibraryFiles(TBuildHost &host, int index);
void CopyFormFiles(const std::string &sourceFolder, const std::string &extension, const std::string &targetFolder);

// DOS date and time (local) to a file time, and the packed form of the current local time.
std::uint64_t FileTimeFromDosDateTime(std::uint32_t dosDateTime);
std::uint32_t CurrentDosDateTime();
