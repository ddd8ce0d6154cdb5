// The registry saved to and loaded from a REGEDIT4 file.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "registry_dump.h"
#include "winapi_control.h"

namespace {

using testing_support::DumpRegistry;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class RegistryFile : public ::testing::Test {
 protected:
  void SetUp() override {
    WinapiResetRegistry();
    char pattern[] = "/tmp/registry_file_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_dir = pattern;
    m_path = m_dir + "/registry.reg";
  }
  void TearDown() override {
    WinapiResetRegistry();
    std::remove(m_path.c_str());
    std::remove((m_path + ".lock").c_str());
    rmdir(m_dir.c_str());
  }
  static void Set(HKEY root, const char* path, const char* name, DWORD type, const std::string& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  std::string m_dir, m_path;
};

TEST_F(RegistryFile, EveryValueRoundTripsExactly) {
  Set(HKEY_CURRENT_USER, "Software\\Test", "plain", REG_SZ, std::string("text", 5));
  Set(HKEY_CURRENT_USER, "Software\\Test", "", REG_SZ, std::string("default", 8));
  Set(HKEY_CURRENT_USER, "Software\\Test", "empty", REG_SZ, std::string("", 1));
  Set(HKEY_CURRENT_USER, "Software\\Test", "no nul", REG_SZ, "abc");
  Set(HKEY_CURRENT_USER, "Software\\Test", "two lines", REG_SZ, std::string("a\r\nb", 5));
  Set(HKEY_CURRENT_USER, "Software\\Test", "quote \" and \\ backslash", REG_SZ, std::string("\"\\x\\", 5));
  Set(HKEY_CURRENT_USER, "Software\\Test", "\xD8\xAA\xD8\xA7", REG_SZ, std::string("\xDB\xB1\xDB\xB4", 5));
  Set(HKEY_CURRENT_USER, "Software\\Test", "multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
  Set(HKEY_CURRENT_USER, "Software\\Test", "dword", REG_DWORD, std::string("\x2a\0\0\x80", 4));
  Set(HKEY_CURRENT_USER, "Software\\Test", "short dword", REG_DWORD, std::string("\x01", 1));
  Set(HKEY_CURRENT_USER, "Software\\Test", "binary", REG_BINARY, std::string("\x0a\xff\0", 3));
  Set(HKEY_CURRENT_USER, "Software\\Test", "empty binary", REG_BINARY, "");
  Set(HKEY_CURRENT_USER, "Software\\Test", "expand", REG_EXPAND_SZ, std::string("%x%", 4));
  Set(HKEY_CURRENT_USER, "Software\\Test", "none", REG_NONE, "");
  Set(HKEY_CLASSES_ROOT, "Key]With[Brackets\\Empty", "x", REG_SZ, std::string("", 1));
  HKEY root = HKEY_LOCAL_MACHINE;
  ASSERT_EQ(RegSetValueExA(root, "at root", 0, REG_SZ, reinterpret_cast<const BYTE*>("r"), 2), ERROR_SUCCESS);
  HKEY empty = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_USERS, "Empty\\Key", 0, nullptr, 0, KEY_READ, nullptr, &empty, nullptr), 0);
  RegCloseKey(empty);

  std::string before;
  for (HKEY r : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) before += DumpRegistry(r) + "|";
  ASSERT_EQ(WinapiSaveRegistry(m_path.c_str()), ERROR_SUCCESS);
  const std::string file = ReadFile(m_path);
  EXPECT_EQ(file.compare(0, 8, "REGEDIT4"), 0);

  WinapiResetRegistry();
  DWORD line = 99;
  ASSERT_EQ(WinapiLoadRegistry(m_path.c_str(), &line), ERROR_SUCCESS);
  EXPECT_EQ(line, 0u);
  std::string after;
  for (HKEY r : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) after += DumpRegistry(r) + "|";
  EXPECT_EQ(after, before);
  ASSERT_EQ(WinapiSaveRegistry(m_path.c_str()), ERROR_SUCCESS);
  EXPECT_EQ(ReadFile(m_path), file) << "saving what was loaded gives the same file";
}

TEST_F(RegistryFile, AFileThatCannotBeParsedIsReportedAndLeftAlone) {
  Set(HKEY_CURRENT_USER, "Kept", "v", REG_SZ, std::string("x", 2));
  const struct {
    std::string text;
    DWORD line;
  } cases[] = {
      {"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=dword:xyz\r\n", 4},
      {"REGEDIT5\r\n", 1},
      {"REGEDIT4\n\"v\"=\"no key yet\"\n", 2},
      {"REGEDIT4\n[HKEY_NOWHERE\\A]\n", 2},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A\\\\B]\n", 2},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\\\A]\n", 2},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"open\n", 3},
      {"", 1},
      {std::string("REGEDIT4\n[HKEY_CURRENT_USER\\A\0B]\n", 33), 2},
  };
  for (const auto& c : cases) {
    WriteFile(m_path, c.text);
    DWORD line = 0;
    EXPECT_NE(WinapiLoadRegistry(m_path.c_str(), &line), ERROR_SUCCESS) << c.text;
    EXPECT_EQ(line, c.line) << c.text;
    EXPECT_EQ(ReadFile(m_path), c.text);
    EXPECT_EQ(DumpRegistry(HKEY_CURRENT_USER), "Kept\n  v=S:x\n") << "the registry is unchanged";
  }
  EXPECT_EQ(WinapiLoadRegistry((m_dir + "/missing.reg").c_str(), nullptr), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(DumpRegistry(HKEY_CURRENT_USER), "Kept\n  v=S:x\n");
}

TEST_F(RegistryFile, SavesLeaveNothingBeside) {
  Set(HKEY_CURRENT_USER, "Stays", "v", REG_SZ, std::string("x", 2));
  ASSERT_EQ(WinapiSaveRegistry(m_path.c_str()), ERROR_SUCCESS);
  EXPECT_NE(WinapiSaveRegistry((m_dir + "/no/such/folder.reg").c_str()), ERROR_SUCCESS);
  // Nothing but the file itself is left in the folder.
  std::string leftovers;
  FILE* list = popen(("ls -A " + m_dir).c_str(), "r");
  char name[256];
  while (fgets(name, sizeof(name), list)) leftovers += name;
  pclose(list);
  EXPECT_EQ(leftovers, "registry.reg\n");
}

TEST_F(RegistryFile, TheLockExcludesOtherHolders) {
  ASSERT_EQ(WinapiLockRegistryFile(m_path.c_str()), ERROR_SUCCESS);
  EXPECT_EQ(WinapiLockRegistryFile(m_path.c_str()), ERROR_INVALID_PARAMETER) << "one lock at a time";
  const int other = open((m_path + ".lock").c_str(), O_RDWR);
  ASSERT_GE(other, 0);
  EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0) << "another holder must wait";
  WinapiUnlockRegistryFile();
  EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  close(other);
}

}  // namespace
