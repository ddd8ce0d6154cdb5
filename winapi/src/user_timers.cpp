// Timers: WM_TIMER (or a timer procedure) for a window or the thread, due
// by the tick count.
#include <windows.h>

#include <algorithm>

#include "internal.h"
#include "user_internal.h"
#include "winapi_control.h"

namespace winapi {
namespace user {

LONG DropTimers(State& s, HWND hwnd) {
  LONG dropped = 0;
  for (auto it = s.timers.begin(); it != s.timers.end();) {
    if (it->first.hwnd == hwnd) {
      it = s.timers.erase(it);
      ++dropped;
    } else {
      ++it;
    }
  }
  return dropped;
}

}  // namespace user

bool NextTimerDue(LONG* milliseconds) {
  user::State& s = user::S();
  user::Lock hold(s.lock);
  if (s.timers.empty()) return false;
  const DWORD now = GetTickCount();
  LONG earliest = 0;
  bool first = true;
  for (const auto& entry : s.timers) {
    const LONG dueIn = static_cast<LONG>(entry.second.due - now);
    if (first || dueIn < earliest) earliest = dueIn;
    first = false;
  }
  *milliseconds = earliest;
  return true;
}

}  // namespace winapi

using namespace winapi::user;

EXTERN_C UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  State& s = S();
  if (hwnd && !Need(hwnd)) return 0;
  elapse = std::min<UINT>(std::max<UINT>(elapse, USER_TIMER_MINIMUM), USER_TIMER_MAXIMUM);
  Lock hold(s.lock);
  if (!hwnd) {
    // A thread timer gets an id of its own unless it replaces one.
    if (!id || !s.timers.count(TimerKey{nullptr, id})) {
      do {
        id = s.nextThreadTimer++;
      } while (s.timers.count(TimerKey{nullptr, id}));
    }
  }
  const TimerKey key{hwnd, id};
  const bool replaced = s.timers.count(key) != 0;
  Timer& timer = s.timers[key];
  timer.elapse = elapse;
  timer.due = GetTickCount() + elapse;
  timer.proc = proc;
  timer.order = s.timerOrder++;
  if (!replaced) WinapiCountObject(WinapiTimers, 1);
  return id ? id : 1;
}

EXTERN_C BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
  State& s = S();
  if (hwnd && !Need(hwnd)) return FALSE;
  {
    Lock hold(s.lock);
    auto it = s.timers.find(TimerKey{hwnd, id});
    if (it == s.timers.end()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    s.timers.erase(it);
    s.posted.erase(std::remove_if(s.posted.begin(), s.posted.end(),
                                  [&](const MSG& m) { return m.hwnd == hwnd && m.message == WM_TIMER && m.wParam == id; }),
                   s.posted.end());
  }
  WinapiCountObject(WinapiTimers, -1);
  return TRUE;
}

EXTERN_C UINT WinapiDeliverDueTimers(void) {
  State& s = S();
  struct Due {
    TimerKey key;
    DWORD due;
    uint64_t order;
  };
  std::vector<Due> due;
  {
    Lock hold(s.lock);
    const DWORD now = GetTickCount();
    for (auto& entry : s.timers) {
      if (static_cast<LONG>(now - entry.second.due) >= 0) due.push_back(Due{entry.first, entry.second.due, entry.second.order});
    }
  }
  std::sort(due.begin(), due.end(), [](const Due& a, const Due& b) {
    const LONG d = static_cast<LONG>(a.due - b.due);
    return d != 0 ? d < 0 : a.order < b.order;
  });
  UINT sent = 0;
  for (const Due& d : due) {
    TIMERPROC proc;
    DWORD now;
    {
      // A timer killed, or set again, by an earlier delivery is left alone.
      Lock hold(s.lock);
      auto it = s.timers.find(d.key);
      if (it == s.timers.end() || it->second.order != d.order) continue;
      now = GetTickCount();
      it->second.due = now + it->second.elapse;
      proc = it->second.proc;
    }
    if (proc) {
      proc(d.key.hwnd, WM_TIMER, d.key.id, now);
    } else if (d.key.hwnd) {
      Send(d.key.hwnd, WM_TIMER, d.key.id, 0);
    }
    ++sent;
  }
  return sent;
}

EXTERN_C BOOL WinapiTimerDueIn(HWND hwnd, UINT_PTR id, LONG* milliseconds) {
  State& s = S();
  Lock hold(s.lock);
  auto it = s.timers.find(TimerKey{hwnd, id});
  if (it == s.timers.end()) return FALSE;
  if (milliseconds) *milliseconds = static_cast<LONG>(it->second.due - GetTickCount());
  return TRUE;
}
