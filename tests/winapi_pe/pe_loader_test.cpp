// PE32 images run by the i386 build: a missing import named, exports by name
// and by ordinal, the module functions on an image's handle, relocation, the
// thread block, and when the TLS callbacks and the entry point are called and
// with what.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <thread>

#include "pe_files.h"
#include "winapi_control.h"

namespace {

TEST(PeLoader, AMissingImportFailsTheLoadAndIsNamed) {
  const pe_test::DllWithAMissingImport patched;
  const pe_test::TemporaryFile dll(patched.bytes, "daybander.dll");
  const LONG modules = WinapiLiveCount(WinapiModules);
  testing::internal::CaptureStderr();
  EXPECT_EQ(LoadLibraryA(dll.path()), nullptr);
  const DWORD error = GetLastError();
  const std::string message = testing::internal::GetCapturedStderr();
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_NE(message.find(patched.missing), std::string::npos) << patched.missing << " in: " << message;
  EXPECT_EQ(WinapiLiveCount(WinapiModules), modules);
}

TEST(PeLoader, ExportsByNameAndByOrdinalAgree) {
  HMODULE dll = LoadLibraryA(DAYBANDER_DLL);
  ASSERT_NE(dll, nullptr) << GetLastError();
  std::set<FARPROC> byOrdinal;
  for (WORD ordinal = 1; ordinal <= 4; ++ordinal) byOrdinal.insert(GetProcAddress(dll, MAKEINTRESOURCEA(ordinal)));
  EXPECT_EQ(byOrdinal.size(), 4u);
  EXPECT_EQ(byOrdinal.count(nullptr), 0u);
  EXPECT_EQ(GetProcAddress(dll, MAKEINTRESOURCEA(5)), nullptr);
  for (const char* name : {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"}) {
    const FARPROC proc = GetProcAddress(dll, name);
    EXPECT_EQ(byOrdinal.count(proc), 1u) << name;
    HMODULE owner = nullptr;
    EXPECT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCSTR>(proc), &owner));
    EXPECT_EQ(owner, dll) << name;
  }
  EXPECT_EQ(GetProcAddress(dll, "dllgetclassobject"), nullptr) << "export names are case-sensitive";
  char path[MAX_PATH], canonical[PATH_MAX];
  ASSERT_GT(GetModuleFileNameA(dll, path, MAX_PATH), 0u);
  EXPECT_STREQ(path, realpath(DAYBANDER_DLL, canonical));
  EXPECT_EQ(GetModuleHandleA("DAYBANDER.DLL"), dll);
  EXPECT_TRUE(FreeLibrary(dll));
}

// What pe_probe.dll reports once a reporter is set; PE code calls it with a
// 4-byte aligned stack.
std::string g_reported;
__attribute__((force_align_arg_pointer)) void Report(char who, DWORD reason, LPVOID reserved) {
  g_reported += who;
  g_reported += static_cast<char>('0' + reason);
  g_reported += reserved ? '!' : ' ';
}
__attribute__((force_align_arg_pointer)) void ReportToStderr(char who, DWORD reason, LPVOID reserved) {
  std::fprintf(stderr, "%c%c%c", who, static_cast<char>('0' + reason), reserved ? '!' : ' ');
}

typedef void (*Reporter)(char, DWORD, LPVOID);
typedef const char* (*EventsProc)();
typedef void (*SetReporterProc)(Reporter);

template <class Function>
Function Proc(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

void SetReporter(HMODULE probe, Reporter reporter) { Proc<SetReporterProc>(probe, "ProbeSetReporter")(reporter); }

TEST(PeLoader, TlsCallbacksComeFirstOnAttachAndLastOnDetach) {
  HMODULE probe = LoadLibraryA(PE_PROBE_DLL);
  ASSERT_NE(probe, nullptr) << GetLastError();
  EXPECT_EQ(LoadLibraryA(PE_PROBE_DLL), probe) << "a second reference to the same image";
  EXPECT_STREQ(Proc<EventsProc>(probe, "ProbeEvents")(), "t1 m1 ");
  g_reported.clear();
  SetReporter(probe, Report);
  EXPECT_TRUE(FreeLibrary(probe));
  EXPECT_EQ(g_reported, "") << "one reference is left";
  EXPECT_TRUE(FreeLibrary(probe));
  EXPECT_EQ(g_reported, "m0 t0 ") << "detached with a null reserved pointer";
  EXPECT_EQ(GetModuleHandleA("pe_probe.dll"), nullptr);
}

// Every thread that runs image code, once it has come through the loader
// (here GetProcAddress), has a thread block at %fs and Windows' x87 control.
TEST(PeLoader, ThreadsRunningImageCodeHaveAThreadBlock) {
  HMODULE probe = LoadLibraryA(PE_PROBE_DLL);
  ASSERT_NE(probe, nullptr) << GetLastError();
  typedef int (*SaneProc)();
  typedef unsigned (*ControlWordProc)();
  EXPECT_EQ(Proc<SaneProc>(probe, "ProbeThreadBlockIsSane")(), 1);
  EXPECT_EQ(Proc<ControlWordProc>(probe, "ProbeControlWord")(), 0x27Fu);
  int sane = 0;
  unsigned controlWord = 0;
  std::thread([&] {
    sane = Proc<SaneProc>(probe, "ProbeThreadBlockIsSane")();
    controlWord = Proc<ControlWordProc>(probe, "ProbeControlWord")();
  }).join();
  EXPECT_EQ(sane, 1);
  EXPECT_EQ(controlWord, 0x27Fu);
  EXPECT_TRUE(FreeLibrary(probe));
}

TEST(PeLoader, AnEntryPointThatRefusesLeavesNothingLoaded) {
  const pe_test::TemporaryFile refusing(pe_test::ReadFile(PE_PROBE_DLL), "fail_probe.dll");
  const LONG modules = WinapiLiveCount(WinapiModules);
  EXPECT_EQ(LoadLibraryA(refusing.path()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
  EXPECT_EQ(GetModuleHandleA("fail_probe.dll"), nullptr);
  EXPECT_EQ(WinapiLiveCount(WinapiModules), modules);
}

// A second image wanting the same address is moved: its absolute addresses
// are relocated, unless it has no relocations.
TEST(PeLoader, AnImageWhoseAddressIsTakenIsRelocated) {
  std::vector<BYTE> bytes = pe_test::ReadFile(PE_PROBE_DLL);
  const pe_test::TemporaryFile copy(bytes, "pe_probe.dll");
  const size_t characteristics = bytes[0x3C] + (bytes[0x3D] << 8) + 4 + 18;
  bytes[characteristics] |= 0x01;  // IMAGE_FILE_RELOCS_STRIPPED
  const pe_test::TemporaryFile fixed(bytes, "pe_probe.dll");

  HMODULE first = LoadLibraryA(PE_PROBE_DLL);
  HMODULE moved = LoadLibraryA(copy.path());
  ASSERT_NE(first, nullptr);
  ASSERT_NE(moved, nullptr);
  EXPECT_NE(moved, first);
  for (HMODULE probe : {first, moved}) {
    const char* events = Proc<EventsProc>(probe, "ProbeEvents")();
    EXPECT_STREQ(events, "t1 m1 ");
    HMODULE owner = nullptr;
    EXPECT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   events, &owner));
    EXPECT_EQ(owner, probe);
  }
  EXPECT_EQ(LoadLibraryA(fixed.path()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
  EXPECT_TRUE(FreeLibrary(moved));
  EXPECT_TRUE(FreeLibrary(first));
}

TEST(PeLoaderDeathTest, ProcessExitDetachesWithANonNullReservedPointer) {
  EXPECT_EXIT(
      {
        SetReporter(LoadLibraryA(PE_PROBE_DLL), ReportToStderr);
        std::exit(0);
      },
      testing::ExitedWithCode(0), "^m0!t0!$");
}

}  // namespace
