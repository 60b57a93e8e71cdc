// Ways to reach the service's state without its lock, each of which the
// compiler must refuse. Built as is, every function takes the locked way and
// compiles (the tree builds it); built with -DMISUSE_<NAME>, one function
// takes the unlocked way instead, and the test of that name passes only when
// the compiler stops with an error in this file.
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <utility>

#include "store/State.h"

namespace {

using ZelSample::GuardedState;
using ZelSample::LockedState;
using ZelSample::SharedState;

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

// A shared view is held by many calls at once: it reaches the state const.
void CommitThroughASharedView(GuardedState& guarded) {
#ifdef MISUSE_COMMIT_THROUGH_A_SHARED_VIEW
  guarded.LockShared()->Commit({});
#else
  (void)guarded.LockShared()->ProfileCount();
#endif
}

// Helpers that only read take the state itself, which only a view reaches.
uint64_t TakeATask(GuardedState& guarded) {
#ifdef MISUSE_TAKE_A_TASK_FROM_NOTHING_LOCKED
  const ZelSample::ProfileState& state = guarded;
  return state.NextTask();
#else
  SharedState state = guarded.LockShared();
  return state->NextTask();
#endif
}

// A change stretch reads beside shared stretches: it changes the state only
// through the exclusive lock it takes for that.
void CommitBeforeTakingTheExclusiveLock(GuardedState& guarded) {
  ZelSample::ChangingState state = guarded.LockForChange();
#ifdef MISUSE_COMMIT_BEFORE_TAKING_THE_EXCLUSIVE_LOCK
  state->Commit({});
#else
  state.Exclusive().Commit({});
#endif
}

void LockSharedByHand(GuardedState& guarded) {
#ifdef MISUSE_LOCK_SHARED_BY_HAND
  std::shared_lock lock(guarded._mutex);
#else
  SharedState state = guarded.LockShared();
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
  CommitThroughASharedView(guarded);
  TakeATask(guarded);
  CommitBeforeTakingTheExclusiveLock(guarded);
  LockSharedByHand(guarded);
}
