// Ways to reach the service's state without its lock, each of which the
// compiler must refuse. Built as is, every function takes the locked way and
// compiles (the tree builds it); built with -DMISUSE_<NAME>, one function
// takes the unlocked way instead, and the test of that name passes only when
// the compiler stops with an error in this file.
#include <mutex>
#include <utility>

#include "store/State.h"

namespace {

using ZelSample::GuardedState;
using ZelSample::LockedState;

size_t ReadTheState(GuardedState& guarded) {
#ifdef MISUSE_READ_THROUGH_THE_GUARD
  return guarded->ProfileCount();
#else
  return guarded.LockExclusive()->ProfileCount();
#endif
}

size_t ReadTheHeldValue(GuardedState& guarded) {
#ifdef MISUSE_READ_THE_HELD_VALUE
  return guarded._value.ProfileCount();
#else
  return guarded.LockExclusive()->ProfileCount();
#endif
}

void LockByHand(GuardedState& guarded) {
#ifdef MISUSE_LOCK_BY_HAND
  std::lock_guard<std::mutex> lock(guarded._mutex);
#else
  LockedState state = guarded.LockExclusive();
#endif
}

LockedState MakeAView(GuardedState& guarded, ZelSample::ProfileState& state) {
#ifdef MISUSE_MAKE_A_VIEW_WITHOUT_LOCKING
  static std::mutex unrelated;
  (void)guarded;
  return LockedState(unrelated, state);
#else
  (void)state;
  return guarded.LockExclusive();
#endif
}

LockedState CopyTheView(LockedState& state) {
#ifdef MISUSE_COPY_THE_VIEW
  LockedState copy = state;
  return copy;
#else
  return std::move(state);
#endif
}

void CommitThroughAReadView(const LockedState& state) {
#ifdef MISUSE_COMMIT_THROUGH_A_READ_VIEW
  state->Commit({});
#else
  (void)state->ProfileCount();
#endif
}

}  // namespace

// Keeps the functions above from being unused.
void UseTheStateLockChecks(GuardedState& guarded, ZelSample::ProfileState& state) {
  ReadTheState(guarded);
  ReadTheHeldValue(guarded);
  LockByHand(guarded);
  LockedState view = MakeAView(guarded, state);
  LockedState moved = CopyTheView(view);
  CommitThroughAReadView(moved);
}
