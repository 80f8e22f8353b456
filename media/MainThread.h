// Running work on the main thread from other threads.
//
// A worker hands a call to the main thread with Synchronize and waits until
// it has run. The main thread runs waiting calls whenever it calls
// CheckSynchronize: the game loop does once per frame, the front end from
// its event loop (it installs a wake-up hook that posts there).
//
// Calls carry a tag (the address of the worker's state). CancelSynchronize
// withdraws a tag's waiting calls and refuses new ones, so a worker being
// shut down never waits for a main thread that is busy shutting it down.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace qv {

// True on the thread that started the program.
bool IsMainThread();

// Runs `call` on the main thread and waits until it has run (on the main
// thread itself: at once). False when the call was withdrawn, or refused
// because `tag` is cancelled. An exception from the call is rethrown here.
bool Synchronize(const void* tag, std::function<void()> call);

// Withdraws the calls of `tag` that have not started and refuses new ones
// until ReleaseSynchronizeTag. A call that is running is left to finish.
void CancelSynchronize(const void* tag);
// Forgets a cancelled tag, once its worker has ended.
void ReleaseSynchronizeTag(const void* tag);

// Main thread: runs the waiting calls one by one, first waiting up to
// `timeoutMs` for one to arrive. True when any ran; false elsewhere.
bool CheckSynchronize(std::uint32_t timeoutMs = 0);

// How many calls wait for the main thread.
std::size_t PendingSynchronizeCount();

// Called (on the posting thread) after a call has been queued, so an event
// loop can be woken to run CheckSynchronize. Empty: no hook.
void SetSynchronizeWakeup(std::function<void()> wakeup);

}  // namespace qv
