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
  bool outOfMemory = false;
  volatile LONG state = kMaking;
  volatile LONG owners = 2;

  void Release() {
    if (::InterlockedDecrement(&owners) == 0) delete this;
  }
};

DWORD WINAPI ComWorker::ThreadMain(void* parameter) {
  Channel* channel = static_cast<Channel*>(parameter);
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  while (::WaitForSingleObject(channel->ready.Get(), INFINITE) == WAIT_OBJECT_0) {
    ComCall* call = channel->call;
    if (!call) break;
    try {
      call->Make();
    } catch (...) { // only std::bad_alloc is thrown in calls: BSTRs and texts that cannot be allocated
      channel->outOfMemory = true;
    }
    // A caller that stopped waiting left the call (and the end) to this thread.
    if (::InterlockedExchange(&channel->state, kReturned) == kAbandoned) {
      delete call;
      break;
    }
    ::SetEvent(channel->done.Get());
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  channel->Release();
  return 0;
}

bool ComWorker::Start() {
  Channel* channel = new Channel();
  if (channel->ready && channel->done) {
    m_thread.Reset(::CreateThread(nullptr, 0, &ComWorker::ThreadMain, channel, 0, nullptr));
    if (m_thread) {
      m_channel = channel;
      return true;
    }
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
  if (!m_thread || m_abandoned) {
    delete m_last;
  } else {
    // The last call, then the end; with nothing left of the budget the thread finishes them on its own.
    m_channel->state = kAbandoned;
    m_channel->call = m_last;
    ::SetEvent(m_channel->ready.Get());
    ::WaitForSingleObject(m_thread.Get(), m_budget.Left());
  }
  if (m_channel) m_channel->Release();
}
