// Timers: due by the tick count, which follows the test clock, delivered
// once however late, and gone with their window.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "user_fixture.h"
#include "winapi_control.h"

namespace {

using TimerTest = UserTest;

std::vector<Message> Timers() {
  std::vector<Message> out;
  for (const Message& m : MessageLog()) {
    if (m.msg == WM_TIMER) out.push_back(m);
  }
  return out;
}

TEST_F(TimerTest, FallsDueAfterItsIntervalAndAgainAfterTheNext) {
  HWND hwnd = Make();
  // Intervals long against the real time a loaded machine may take between
  // two calls: only the test clock makes these timers due.
  EXPECT_EQ(7u, SetTimer(hwnd, 7, 10000, nullptr));
  LONG due = 0;
  ASSERT_TRUE(WinapiTimerDueIn(hwnd, 7, &due));
  EXPECT_GE(due, 9000);
  EXPECT_LE(due, 10000);
  struct Step {
    LONGLONG advance;
    UINT delivered;
  };
  // Each step moves the clock on, then delivers what is due.
  const Step steps[] = {{0, 0}, {9000, 0}, {1100, 1}, {0, 0}, {10100, 1}, {100000, 1}, {0, 0}};
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "advance " << s.advance);
    WinapiAdvanceClock(s.advance);
    EXPECT_EQ(s.delivered, WinapiDeliverDueTimers());
  }
  const std::vector<Message> expected(3, Message{hwnd, WM_TIMER, 7, 0});
  EXPECT_EQ(expected, Timers()) << "a timer late by many intervals comes once";
  ASSERT_TRUE(WinapiTimerDueIn(hwnd, 7, &due));
  EXPECT_GT(due, 9000) << "due again an interval after it was delivered";
  EXPECT_TRUE(KillTimer(hwnd, 7));
  EXPECT_FALSE(WinapiTimerDueIn(hwnd, 7, &due));
  EXPECT_FALSE(KillTimer(hwnd, 7));
  DestroyWindow(hwnd);
}

TEST_F(TimerTest, SettingTheSameIdReplacesTheTimer) {
  HWND hwnd = Make();
  const LONG before = WinapiLiveCount(WinapiTimers);
  SetTimer(hwnd, 1, 100, nullptr);
  WinapiAdvanceClock(90);
  SetTimer(hwnd, 1, 5000, nullptr);
  EXPECT_EQ(before + 1, WinapiLiveCount(WinapiTimers));
  WinapiAdvanceClock(200);
  EXPECT_EQ(0u, WinapiDeliverDueTimers()) << "the new interval counts from the new SetTimer";
  LONG due;
  ASSERT_TRUE(WinapiTimerDueIn(hwnd, 1, &due));
  EXPECT_GT(due, 4500);
  SetTimer(hwnd, 2, 100, nullptr);
  EXPECT_EQ(before + 2, WinapiLiveCount(WinapiTimers)) << "another id is another timer";
  DestroyWindow(hwnd);
  EXPECT_EQ(before, WinapiLiveCount(WinapiTimers)) << "a window's timers go with it";
}

TEST_F(TimerTest, DeliversInDueOrderAndSkipsTimersKilledOnTheWay) {
  HWND a = Make();
  HWND b = Make();
  SetTimer(a, 1, 300, nullptr);
  SetTimer(b, 2, 100, nullptr);
  SetTimer(b, 3, 200, nullptr);
  Hook() = [&](HWND hwnd, UINT msg, WPARAM id, LPARAM, LRESULT*) {
    if (msg == WM_TIMER && hwnd == b && id == 2) KillTimer(b, 3);
    return false;
  };
  WinapiAdvanceClock(1000);
  EXPECT_EQ(2u, WinapiDeliverDueTimers());
  EXPECT_EQ((std::vector<Message>{{b, WM_TIMER, 2, 0}, {a, WM_TIMER, 1, 0}}), Timers());
  DestroyWindow(a);
  DestroyWindow(b);
}

std::vector<Message>& ProcCalls() {
  static std::vector<Message> calls;
  return calls;
}

void CALLBACK OnTimer(HWND hwnd, UINT msg, UINT_PTR id, DWORD) { ProcCalls().push_back(Message{hwnd, msg, id, 0}); }

TEST_F(TimerTest, TimerProceduresAndThreadTimers) {
  ProcCalls().clear();
  HWND hwnd = Make();
  SetTimer(hwnd, 5, 50, OnTimer);
  const UINT_PTR first = SetTimer(nullptr, 0, 50, OnTimer);
  const UINT_PTR second = SetTimer(nullptr, 0, 50, OnTimer);
  EXPECT_NE(0u, first);
  EXPECT_NE(first, second) << "each thread timer gets an id of its own";
  EXPECT_EQ(first, SetTimer(nullptr, first, 60, OnTimer)) << "unless it names one to replace";
  WinapiAdvanceClock(100);
  EXPECT_EQ(3u, WinapiDeliverDueTimers());
  EXPECT_EQ(3u, ProcCalls().size());
  EXPECT_EQ((Message{hwnd, WM_TIMER, 5, 0}), ProcCalls()[0]);
  EXPECT_TRUE(Timers().empty()) << "a timer procedure is called instead of the window's";
  EXPECT_TRUE(KillTimer(nullptr, first));
  EXPECT_TRUE(KillTimer(nullptr, second));
  DestroyWindow(hwnd);
}

TEST_F(TimerTest, APeekedTimerComesAsAMessage) {
  HWND hwnd = Make();
  SetTimer(hwnd, 9, 10000, nullptr);
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  WinapiAdvanceClock(10000);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(hwnd, msg.hwnd);
  EXPECT_EQ(static_cast<UINT>(WM_TIMER), msg.message);
  EXPECT_EQ(9u, msg.wParam);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) << "taken, it is due again an interval later";
  DispatchMessageW(&msg);
  EXPECT_EQ(1u, Timers().size());
  DestroyWindow(hwnd);
}

TEST_F(TimerTest, MidnightTimerSeesTheNewDate) {
  SYSTEMTIME evening{2026, 3, 0, 20, 23, 59, 30, 0};
  WinapiSetLocalTime(&evening);
  HWND hwnd = Make();
  SetTimer(hwnd, 1, 30 * 1000, nullptr);
  SYSTEMTIME seen{};
  Hook() = [&](HWND, UINT msg, WPARAM, LPARAM, LRESULT*) {
    if (msg == WM_TIMER) GetLocalTime(&seen);
    return false;
  };
  WinapiAdvanceClock(29 * 1000);
  EXPECT_EQ(0u, WinapiDeliverDueTimers());
  WinapiAdvanceClock(1000);
  EXPECT_EQ(1u, WinapiDeliverDueTimers());
  EXPECT_EQ(21, seen.wDay);
  EXPECT_EQ(0, seen.wHour);
  DestroyWindow(hwnd);
  WinapiUseRealClock();
}

TEST_F(TimerTest, BadWindowsAreRefused) {
  HWND gone = Make();
  DestroyWindow(gone);
  SetLastError(0);
  EXPECT_EQ(0u, SetTimer(gone, 1, 10, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
  SetLastError(0);
  EXPECT_FALSE(KillTimer(gone, 1));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
}

}  // namespace
