// The worker thread of ComWorker: one call at a time in the multithreaded apartment, waited for within a budget.
#include "framework/com_worker.h"

#include <objbase.h>

#include <new>

namespace {
// Where the call in hand stands. Each side marks it once; whoever marks second knows what the other did.
enum : LONG { kMaking, kReturned, kAbandoned };
} // namespace

// Shared by the caller and the thread; the second of the two to let go frees it.
struct ComWorker::Channel {
  UniqueHandle ready{::CreateEventW(nullptr, FALSE, FALSE, nullptr)}; // a call is waiting (none: the end)
  UniqueHandle done{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // the call returned
  ComCall* call = nullptr;
  ComCall* last = nullptr; // owned: made on the thread before it leaves the apartment
  bool outOfMemory = false;
  volatile LONG state = kMaking;
  volatile LONG owners = 2;

  void Release() {
    if (::InterlockedDecrement(&owners) == 0) delete this;
  }
};

namespace {
// Out of memory inside a call is the caller's to hear of, if it still waits.
bool MakeCall(ComCall& call) {
  try {
    call.Make();
    return true;
  } catch (...) { // only std::bad_alloc is thrown in calls: BSTRs and texts that cannot be allocated
    return false;
  }
}
} // namespace

DWORD WINAPI ComWorker::ThreadMain(void* parameter) {
  Channel* channel = static_cast<Channel*>(parameter);
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  while (::WaitForSingleObject(channel->ready.Get(), INFINITE) == WAIT_OBJECT_0) {
    ComCall* call = channel->call;
    if (!call) break;
    if (!MakeCall(*call)) channel->outOfMemory = true;
    // A caller that stopped waiting left the call (and the end) to this thread.
    if (::InterlockedExchange(&channel->state, kReturned) == kAbandoned) {
      delete call;
      break;
    }
    ::SetEvent(channel->done.Get());
  }
  // What the calls obtained lives in this apartment: it is let go here, before the apartment is left.
  if (channel->last) MakeCall(*channel->last);
  delete channel->last;
  channel->last = nullptr;
  if (SUCCEEDED(com)) ::CoUninitialize();
  channel->Release();
  return 0;
}

bool ComWorker::Start() {
  Channel* channel = new Channel();
  if (channel->ready && channel->done) {
    channel->last = m_last;
    m_thread.Reset(::CreateThread(nullptr, 0, &ComWorker::ThreadMain, channel, 0, nullptr));
    if (m_thread) {
      m_channel = channel;
      m_last = nullptr;
      return true;
    }
    channel->last = nullptr;
  }
  delete channel;
  return false;
}

CallResult ComWorker::Run(ComCall& call) {
  if (m_abandoned || m_budget.Exhausted()) return CallResult::kNotRun;
  if (!m_thread && !Start()) return CallResult::kNotRun;
  m_channel->state = kMaking;
  m_channel->call = &call;
  const DWORD start = ::GetTickCount();
  ::SetEvent(m_channel->ready.Get());
  if (::WaitForSingleObject(m_channel->done.Get(), m_budget.Left()) != WAIT_OBJECT_0) {
    if (::InterlockedExchange(&m_channel->state, kAbandoned) == kMaking) {
      // The thread keeps the call and ends once it returns, if it ever does.
      m_abandoned = true;
      m_budget.Exhaust();
      return CallResult::kRanOut;
    }
    // It returned as the wait ran out: its done follows at once.
    ::WaitForSingleObject(m_channel->done.Get(), INFINITE);
  }
  m_budget.Spend(::GetTickCount() - start);
  if (m_channel->outOfMemory) {
    m_channel->outOfMemory = false;
    throw std::bad_alloc();
  }
  return CallResult::kDone;
}

ComWorker::~ComWorker() {
  delete m_last; // set only while no thread took it
  if (m_thread && !m_abandoned) {
    // The end; with nothing left of the budget the thread makes its last call on its own.
    m_channel->call = nullptr;
    ::SetEvent(m_channel->ready.Get());
    ::WaitForSingleObject(m_thread.Get(), m_budget.Left());
  }
  // A call that ran out ends the thread when it returns, if it ever does.
  if (m_channel) m_channel->Release();
}
