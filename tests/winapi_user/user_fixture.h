// Shared by the tests of windows, menus and timers: a window class whose
// procedure records every message it is sent, and a fixture that starts each
// test from a clean window tree and checks that nothing is left alive.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <vector>

#include "winapi_control.h"

struct Message {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

inline bool operator==(const Message& a, const Message& b) {
  return a.hwnd == b.hwnd && a.msg == b.msg && a.wParam == b.wParam && a.lParam == b.lParam;
}

inline std::ostream& operator<<(std::ostream& out, const Message& m) {
  return out << "{hwnd " << m.hwnd << ", msg 0x" << std::hex << m.msg << ", wParam 0x" << m.wParam
             << ", lParam 0x" << m.lParam << std::dec << "}";
}

// What every recorded window received, in order.
inline std::vector<Message>& MessageLog() {
  static std::vector<Message> log;
  return log;
}

// Lets a test answer a message itself: return true and set the result.
using MessageHook = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)>;
inline MessageHook& Hook() {
  static MessageHook hook;
  return hook;
}

inline LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  MessageLog().push_back(Message{hwnd, msg, wParam, lParam});
  LRESULT result = 0;
  if (Hook() && Hook()(hwnd, msg, wParam, lParam, &result)) return result;
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

inline LRESULT CALLBACK RecordingProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  MessageLog().push_back(Message{hwnd, msg, wParam, lParam});
  LRESULT result = 0;
  if (Hook() && Hook()(hwnd, msg, wParam, lParam, &result)) return result;
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

constexpr const char16_t* kRecorder = u"Recorder";
constexpr const char* kRecorderA = "RecorderA";

class UserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WinapiResetUser();
    MessageLog().clear();
    Hook() = nullptr;
    for (int kind : kKinds) start_[kind] = WinapiLiveCount(static_cast<WinapiObjectKind>(kind));
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = RecordingProc;
    wc.cbWndExtra = 16;
    wc.lpszClassName = kRecorder;
    ASSERT_NE(0, RegisterClassExW(&wc));
    WNDCLASSEXA wca{};
    wca.cbSize = sizeof(wca);
    wca.lpfnWndProc = RecordingProcA;
    wca.lpszClassName = kRecorderA;
    ASSERT_NE(0, RegisterClassExA(&wca));
  }

  void TearDown() override {
    Hook() = nullptr;
    for (int kind : kKinds) {
      EXPECT_EQ(start_[kind], WinapiLiveCount(static_cast<WinapiObjectKind>(kind))) << "object kind " << kind;
    }
    WinapiResetUser();
  }

  // A recorded window: a top-level one without a parent, else a child.
  HWND Make(HWND parent = nullptr, DWORD style = WS_VISIBLE, int x = 0, int y = 0, int cx = 100, int cy = 20) {
    if (parent) style |= WS_CHILD;
    return CreateWindowExW(0, kRecorder, u"", style, x, y, cx, cy, parent, nullptr, nullptr, nullptr);
  }

  // The recorded messages among `wanted`, in order.
  static std::vector<Message> Only(std::initializer_list<UINT> wanted) {
    std::vector<Message> out;
    for (const Message& m : MessageLog()) {
      for (UINT w : wanted) {
        if (m.msg == w) out.push_back(m);
      }
    }
    return out;
  }

 private:
  static constexpr int kKinds[] = {WinapiWindows, WinapiMenus, WinapiFonts, WinapiTimers};
  LONG start_[WinapiObjectKindCount] = {};
};
