// Win32 resources as the stand-ins handle them: read from the compiled resource files (".res",
// ".dcr") that the sources name with {$R ...}, and written into the resource section of the
// packages they link, where the program reads the "DESCRIPTION" resource back.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace StandIn {

constexpr std::uint16_t ResourceTypeBitmap = 2;
constexpr std::uint16_t ResourceTypeRcData = 10;

// A resource type or name: a number, or a text (kept in upper case, as Windows looks names up).
struct TResourceId {
  bool IsName = false;
  std::uint16_t Id = 0;
  std::string Name;

  static TResourceId Number(std::uint16_t id) { return TResourceId{false, id, {}}; }
  static TResourceId Text(const std::string &name);
  bool operator==(const TResourceId &other) const;
};

struct TResource {
  TResourceId Type;
  TResourceId Name;
  std::uint16_t Language = 0;
  std::string Data;
};

// The resources of a 32-bit resource file. A file that does not start with the empty header entry
// of such files, or whose entries run past its end, raises EStandInError naming the file.
std::vector<TResource> ReadResFile(const std::string &bytes, const std::string &fileName);
// A 32-bit resource file holding these resources.
std::string WriteResFile(const std::vector<TResource> &resources);

// Windows-1252 text (the Borland tools' sources) as UTF-16LE bytes, without a terminating zero.
std::string Utf16FromAnsi(const std::string &text);
// UTF-16LE bytes back to Windows-1252 ("?" for characters it lacks); stops at a zero character.
std::string AnsiFromUtf16(const std::string &bytes);

} // namespace StandIn
