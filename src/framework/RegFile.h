// Registry files in the REGEDIT4 format ("Windows Registry Editor Version 5.00" is read too), the
// format of `regedit` and `reg import`. Import and export go through TRegistry, so the same fixture
// file fills the in-memory registry of the native tests and the real one under Wine.
#pragma once
#include "Registry.h"
#include <string>
#include <vector>

struct TRegKeyBlock {
  TRootKey Root = TRootKey::LocalMachine;
  std::string Path;          // below the root, no leading "\"
  bool DeleteKey = false;    // "[-HKEY_...]"
  std::vector<TRegValue> Values;
  std::vector<std::string> DeletedValues; // "name"=-
};

// Raises Exception naming the line on a malformed file.
std::vector<TRegKeyBlock> ParseRegText(const std::string &text);
std::string FormatRegText(const std::vector<TRegKeyBlock> &blocks);

void ImportRegText(const std::string &text);
void ImportRegFile(const std::string &path);
// The key and everything below it, as blocks in the order a registry editor writes them.
std::vector<TRegKeyBlock> ExportRegistryKey(TRootKey root, const std::string &path);
void SaveRegFile(const std::string &path, TRootKey root, const std::string &keyPath);
