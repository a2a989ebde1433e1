#include "ChangeBatch.h"
#include "EnvironmentChanges.h"
#include "Plan.h"

#include "framework/Text.h"

namespace {
thread_local TChangeBatch *currentBatch = nullptr;
} // namespace

TChangeBatch::TChangeBatch() {
  if (TPlanScope::Current() || !TChangeScope::Current() || currentBatch)
    return; // inert: a dry run notes anyway, and a batch within a batch is the outer one's
  scope_ = TChangeScope::Current();
  overlay_ = std::make_unique<TPlanScope>(TPlanScope::TOverlayOnly{});
  scope_->Journal().BeginGroup();
  currentBatch = this;
}

TChangeBatch::~TChangeBatch() {
  if (!scope_)
    return;
  currentBatch = nullptr;
  RemoveScratches();
  scope_->Journal().DiscardGroup();
}

TChangeBatch *TChangeBatch::Current() {
  return currentBatch;
}

void TChangeBatch::Note(std::function<void()> change, std::string scratch) {
  noted_.push_back(TNoted{std::move(change), std::move(scratch)});
}

void TChangeBatch::Commit() {
  if (!scope_)
    return;
  scope_->Journal().CommitGroup();
  std::vector<TNoted> noted;
  noted.swap(noted_);
  for (std::size_t i = 0; i < noted.size(); ++i) {
    try {
      noted[i].Change();
    } catch (...) {
      openKeys_.clear();
      noted_.assign(noted.begin() + std::ptrdiff_t(i) + 1, noted.end());
      throw; // the destructor removes the scratch copies of the changes not made
    }
  }
  openKeys_.clear();
}

TRegistry *TChangeBatch::KeyForChanges(TRootKey root, const std::string &path) {
  for (auto &open : openKeys_)
    if (open.Root == root && UpperCase(open.Path) == UpperCase(path))
      return open.Key.get();
  auto key = std::make_unique<TRegistry>(root);
  if (!key->OpenKey("\\" + path, false))
    return nullptr;
  openKeys_.push_back(TOpenKey{root, path, std::move(key)});
  return openKeys_.back().Key.get();
}

void TChangeBatch::RemoveScratches() {
  for (const auto &noted : noted_)
    if (!noted.Scratch.empty())
      Fs::DeleteFile(noted.Scratch);
  noted_.clear();
}

TPlanScope *ChangeOverlay() {
  if (TPlanScope *plan = TPlanScope::Current())
    return plan;
  return currentBatch ? &currentBatch->Overlay() : nullptr;
}

namespace Changes {

void SetLastWriteTime(const std::string &path, Fs::TFileTime time) {
  if (TPlanScope::Current())
    return; // a plan has made no copy to stamp
  TChangeScope *scope = TChangeScope::Current();
  if (currentBatch && !(scope && scope->IsOwnPath(path)))
    currentBatch->Note([=] { Fs::SetLastWriteTime(path, time); });
  else
    Fs::SetLastWriteTime(path, time);
}

} // namespace Changes
