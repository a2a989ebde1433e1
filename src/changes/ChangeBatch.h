// A step's changes journalled together. While a TChangeBatch lives on a thread inside a
// TChangeScope, the layer's changes outside the scope's own folders are recorded and noted, not
// made: reads through the layer see them as made (the noted changes are an overlay, kept as a plan
// keeps them). Commit writes the step's records and saved copies with one flush, then makes the
// changes in the order they were asked for. A step of twenty changes so costs one flush of the
// journal instead of twenty, and every record is still on disk before its change is made.
//
// The layer's functions fail at once as the change would (a read-only file, a folder in the place
// of a file, a missing source); a change that fails only when it is made raises from Commit, and
// the scope undoes what the step had made. A batch that ends without Commit makes nothing and
// removes the copies that its renames would have consumed (an edit's copy beside the file).
//
// A tool started while a batch is open (ExecuteCommand) finds the machine as the step left it:
// the batch commits before the tool starts.
#pragma once
#include "framework/Files.h"
#include "framework/Registry.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TPlanScope;
class TChangeScope;

class TChangeBatch {
public:
  // Batches only inside a change scope and outside a plan; elsewhere the layer works as without it.
  TChangeBatch();
  ~TChangeBatch();
  TChangeBatch(const TChangeBatch &) = delete;
  TChangeBatch &operator=(const TChangeBatch &) = delete;

  // Records on disk, then the noted changes made in order; the batch goes on noting after it.
  void Commit();

  // The open batch on this thread, if any.
  static TChangeBatch *Current();
  TPlanScope &Overlay() { return *overlay_; }
  // A change to make at Commit; it raises when it fails. scratch: a file the change consumes (the
  // source of a rename), removed when the change is never made.
  void Note(std::function<void()> change, std::string scratch = {});
  // While Commit makes the changes: the key whose values they change, opened once for all of them
  // (nothing when it cannot be opened).
  TRegistry *KeyForChanges(TRootKey root, const std::string &path);

private:
  struct TNoted {
    std::function<void()> Change;
    std::string Scratch;
  };
  void RemoveScratches();

  TChangeScope *scope_ = nullptr;
  std::unique_ptr<TPlanScope> overlay_;
  std::vector<TNoted> noted_;
  struct TOpenKey {
    TRootKey Root;
    std::string Path;
    std::unique_ptr<TRegistry> Key;
  };
  std::vector<TOpenKey> openKeys_; // while Commit makes the changes
};

// What reads through the layer see besides the disk and the registry: a dry run's plan, or the
// open batch's noted changes; nothing otherwise.
TPlanScope *ChangeOverlay();

namespace Changes {
// Stamps a file the layer copied with its time (outside the scope's folders, after the copy).
void SetLastWriteTime(const std::string &path, Fs::TFileTime time);
} // namespace Changes
