// The registry saved to and loaded from a REGEDIT4 file.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "registry_dump.h"
#include "winapi_control.h"

namespace {

using testing_support::DumpRegistry;

// Sections that go `levels` deep, `step` new levels at a time.
std::string Ladder(int levels, int step) {
  std::string out, path = "[HKEY_CURRENT_USER";
  for (int level = 1; level <= levels; ++level) {
    path += "\\L";
    if (level % step == 0 || level == levels) out += path + "]\n";
  }
  return out;
}

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
    std::filesystem::remove_all(m_dir);
  }
  // The folder's entries, sorted, one a line.
  std::string Listing() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir)) names.insert(entry.path().filename());
    std::string out;
    for (const std::string& name : names) out += name + "\n";
    return out;
  }
  static void Set(HKEY root, const char* path, const char* name, DWORD type, const std::string& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  // The saved roots as text, one line per key and per value.
  static std::string DumpAll() {
    std::string all;
    for (HKEY r : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG}) {
      all += DumpRegistry(r) + "|";
    }
    return all;
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

// Every byte a name can hold, at the start, in the middle and alone, and
// every byte in data. A line feed is the one byte a name cannot carry to
// the file, so the registry refuses it there.
TEST_F(RegistryFile, EveryByteInNamesAndDataRoundTrips) {
  for (int b = 1; b < 256; ++b) {
    const std::string c(1, static_cast<char>(b));
    for (const std::string& name : {c, "k" + c + "k"}) {
      // A backslash separates key names; value names may hold it.
      const std::string keyName = b == '\\' ? "k_" + name : name;
      HKEY key = nullptr;
      const LONG created =
          RegCreateKeyExA(HKEY_CURRENT_USER, ("Bytes\\" + keyName).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &key, nullptr);
      if (b == '\n') {
        EXPECT_EQ(created, ERROR_INVALID_PARAMETER);
        EXPECT_EQ(RegSetValueExA(HKEY_CURRENT_USER, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1),
                  ERROR_INVALID_PARAMETER);
        continue;
      }
      ASSERT_EQ(created, ERROR_SUCCESS) << b;
      for (const std::string& value : {name, "v" + c + "v"}) {
        const std::string text = c + "x" + c + std::string(1, '\0');
        ASSERT_EQ(RegSetValueExA(key, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                                 static_cast<DWORD>(text.size())),
                  ERROR_SUCCESS)
            << b;
      }
      const BYTE data[] = {static_cast<BYTE>(b), 0, static_cast<BYTE>(b)};
      ASSERT_EQ(RegSetValueExA(key, "bin", 0, static_cast<DWORD>(b), data, sizeof data), ERROR_SUCCESS);
      RegCloseKey(key);
    }
  }
  const std::string before = DumpAll();
  ASSERT_EQ(WinapiSaveRegistry(m_path.c_str()), ERROR_SUCCESS);
  const std::string file = ReadFile(m_path);
  WinapiResetRegistry();
  DWORD line = 0;
  ASSERT_EQ(WinapiLoadRegistry(m_path.c_str(), &line), ERROR_SUCCESS) << "line " << line;
  EXPECT_EQ(DumpAll(), before);
  ASSERT_EQ(WinapiSaveRegistry(m_path.c_str()), ERROR_SUCCESS);
  EXPECT_EQ(ReadFile(m_path), file);
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
      // What the live registry would refuse, found while reading.
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n[HKEY_CURRENT_USER\\" + std::string(256, 'k') + "]\n", 3},
      {"REGEDIT4\n\n" + Ladder(33, 33), 3},
      {"REGEDIT4\n" + Ladder(513, 32), 18},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"" + std::string(16384, 'v') + "\"=\"\"\n", 3},
      // Continued and cut short.
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:01,\\\n  0" + std::string(1, '\0') + "2\n", 4},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:01,\\\n  02,0", 4},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex(2):01,\\\r\n", 3},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:01,0", 3},
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
  WriteFile(m_path + ".new", std::string(1 << 16, 'x'));  // what a killed save left
  ASSERT_EQ(WinapiSaveRegistry(m_path.c_str()), ERROR_SUCCESS);
  EXPECT_NE(WinapiSaveRegistry((m_dir + "/no/such/folder.reg").c_str()), ERROR_SUCCESS);
  EXPECT_EQ(Listing(), "registry.reg\n") << "nothing but the file itself is left in the folder";
}

// A save replaces the file a link leads to, with the mode and owner it had.
TEST_F(RegistryFile, ASaveKeepsTheLinkModeAndOwner) {
  Set(HKEY_CURRENT_USER, "Stays", "v", REG_SZ, std::string("x", 2));
  const std::string target = m_dir + "/target.reg";
  WriteFile(target, "REGEDIT4\r\n");
  ASSERT_EQ(chmod(target.c_str(), 0600), 0);
  const bool mayGiveAway = geteuid() == 0;
  if (mayGiveAway) {
    ASSERT_EQ(chown(target.c_str(), 4321, 4322), 0);
  }
  ASSERT_EQ(symlink("target.reg", m_path.c_str()), 0);
  ASSERT_EQ(WinapiSaveRegistry(m_path.c_str()), ERROR_SUCCESS);
  struct stat link, file;
  ASSERT_EQ(lstat(m_path.c_str(), &link), 0);
  EXPECT_TRUE(S_ISLNK(link.st_mode));
  ASSERT_EQ(stat(target.c_str(), &file), 0);
  EXPECT_EQ(file.st_mode & 07777, 0600u);
  if (mayGiveAway) {
    EXPECT_EQ(file.st_uid, 4321u);
    EXPECT_EQ(file.st_gid, 4322u);
  }
  EXPECT_NE(ReadFile(target).find("[HKEY_CURRENT_USER\\Stays]"), std::string::npos);
  EXPECT_EQ(Listing(), "registry.reg\ntarget.reg\n");
}

// Every prefix of a file, as a disk that filled up or a copy cut short
// leaves it, either fails to load or loads values exactly as the whole file
// has them: a hex list cut inside, continued or not, is no shorter value.
TEST_F(RegistryFile, AFileCutShortNeverLoadsAChangedValue) {
  const std::string whole =
      "REGEDIT4\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Daybander]\r\n"
      "\"Text\"=\"Farvardin\"\r\n"
      "\"Size\"=dword:0000000f\r\n"
      "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
      "  16,17,18,19,1a,1b,1c,1d,1e,1f\r\n"
      "\"Path\"=hex(2):25,53,79,73,74,65,6d,52,6f,6f,74,25,5c,73,79,73,74,65,6d,33,\\\r\n"
      "  32,00\r\n"
      "[HKEY_CURRENT_USER\\Software\\Daybander\\Sub]\r\n"
      "@=hex:ff\r\n";
  // Each key and each value with the key it is in.
  const auto entries = [] {
    std::set<std::string> out;
    std::istringstream dump(DumpRegistry(HKEY_CURRENT_USER));
    std::string line, key;
    while (std::getline(dump, line)) {
      if (line.compare(0, 2, "  ") != 0) key = line;
      out.insert(key + "|" + line);
    }
    return out;
  };
  WriteFile(m_path, whole);
  ASSERT_EQ(WinapiLoadRegistry(m_path.c_str(), nullptr), ERROR_SUCCESS);
  const std::set<std::string> all = entries();
  for (size_t size = 0; size < whole.size(); ++size) {
    WinapiResetRegistry();
    WriteFile(m_path, whole.substr(0, size));
    DWORD line = 0;
    if (WinapiLoadRegistry(m_path.c_str(), &line) != ERROR_SUCCESS) {
      EXPECT_NE(line, 0u) << size;
      continue;
    }
    for (const std::string& entry : entries()) EXPECT_EQ(all.count(entry), 1u) << "cut at " << size << ": " << entry;
  }
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
