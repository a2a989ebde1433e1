// Portable executable images as the stand-ins link them: an i386 module with a tiny code section,
// an empty base relocation block (so the loader may move it) and a resource section holding the
// given resources. Windows and Wine load it, also with LoadLibraryEx(LOAD_LIBRARY_AS_DATAFILE),
// and FindResource finds every resource in it. The reader walks the resource directory of such an
// image (or any other i386 image) without the platform's loader.
#pragma once
#include "Resources.h"

#include <optional>
#include <string>
#include <vector>

namespace StandIn {

enum class TImageKind { Dll, Exe };

std::string BuildPeImage(TImageKind kind, const std::vector<TResource> &resources);

// True when the bytes hold an i386 PE image whose headers are within the file.
bool IsPeImage(const std::string &image);
// Every resource of the image, in directory order. A damaged directory raises EStandInError.
std::vector<TResource> ReadPeResources(const std::string &image);
// The data of the first language of a resource; nullopt when the image has no such resource.
std::optional<std::string> FindPeResource(const std::string &image, const TResourceId &type,
                                          const TResourceId &name);

} // namespace StandIn
