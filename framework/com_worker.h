// COM calls made on a thread of their own and waited for within a budget: a service that never answers holds
// up that thread, never its caller.
#ifndef KCC_FRAMEWORK_COM_WORKER_H
#define KCC_FRAMEWORK_COM_WORKER_H

#include "framework/handles.h"

#include <windows.h>

// How long calls may hold up their caller in all. Only the waiting counts, not the caller's own work between
// calls (a message box the user takes a minute over). Once one call ran out, no call is waited for again.
class CallBudget {
public:
  explicit CallBudget(DWORD milliseconds) : m_left(milliseconds) {}
  DWORD Left() const { return m_left; }
  bool Exhausted() const { return m_exhausted; }
  void Spend(DWORD milliseconds) { m_left = milliseconds < m_left ? m_left - milliseconds : 0; }
  void Exhaust() {
    m_left = 0;
    m_exhausted = true;
  }

private:
  DWORD m_left;
  bool m_exhausted = false;
};

// One call for the worker. What it reads and writes are its own members: a call that ran out may return much
// later, and then touches nothing of its caller's.
class ComCall {
public:
  virtual ~ComCall() = default;
  virtual void Make() = 0;
};

enum class CallResult {
  kDone,   // the call returned in time; what it wrote is there to read
  kRanOut, // this call used up the budget: it may still be running, and the worker deletes it if it returns
  kNotRun, // the budget ran out before, or the thread could not start
};

// One thread in COM's multithreaded apartment that makes the calls it is given, one at a time, in order. The
// objects they obtain live in that apartment: only calls made there touch them, and the thread's last call,
// made there before it leaves the apartment, releases them.
class ComWorker {
public:
  // `last` (owned) is the call the thread makes before it ends: when told to end, or when a call that ran out
  // returns. A thread that never started obtained nothing: then `last` is only deleted.
  ComWorker(CallBudget& budget, ComCall* last) : m_budget(budget), m_last(last) {}
  // Tells the thread to end; waits for that only within what the budget has left.
  ~ComWorker();
  ComWorker(const ComWorker&) = delete;
  ComWorker& operator=(const ComWorker&) = delete;

  // Makes `call` on the thread and waits for it within the budget. Unless the result is kRanOut, `call` is
  // still the caller's. Out of memory inside a call comes back here as std::bad_alloc.
  CallResult Run(ComCall& call);
  CallBudget& Budget() const { return m_budget; }

private:
  struct Channel;
  static DWORD WINAPI ThreadMain(void* parameter);
  bool Start();

  CallBudget& m_budget;
  ComCall* m_last; // the thread's once it started
  Channel* m_channel = nullptr; // shared with the thread: whichever lets go second frees it
  UniqueHandle m_thread;
  bool m_abandoned = false;
};

#endif
