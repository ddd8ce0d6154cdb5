// The in-memory registry: names, paths, access, values, deletion and limits,
// each with the status Windows gives.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "registry_dump.h"
#include "winapi_control.h"

namespace {

using testing_support::DumpRegistry;

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    WinapiResetRegistry();
    m_keysBefore = WinapiLiveCount(WinapiKeys);
  }
  void TearDown() override {
    EXPECT_EQ(WinapiLiveCount(WinapiKeys), m_keysBefore) << "a key handle was left open";
    WinapiResetRegistry();
  }

  HKEY Create(HKEY parent, const char* path, REGSAM sam = KEY_ALL_ACCESS, DWORD* disposition = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(parent, path, 0, nullptr, 0, sam, nullptr, &key, disposition), ERROR_SUCCESS) << path;
    return key;
  }
  LONG Open(HKEY parent, const char* path, REGSAM sam, HKEY* key) { return RegOpenKeyExA(parent, path, 0, sam, key); }
  LONG SetString(HKEY key, const char* name, const char* text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(std::strlen(text) + 1));
  }

  LONG m_keysBefore = 0;
};

TEST_F(Registry, CreateReportsDispositionAndMakesEveryLevel) {
  DWORD disposition = 0;
  HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Vendor\\Product", KEY_ALL_ACCESS, &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  RegCloseKey(key);
  key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\vendor\\PRODUCT\\", KEY_ALL_ACCESS, &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  RegCloseKey(key);
  EXPECT_EQ(DumpRegistry(HKEY_LOCAL_MACHINE), "Software\nSoftware\\Vendor\nSoftware\\Vendor\\Product\n");
  EXPECT_EQ(DumpRegistry(HKEY_CURRENT_USER), "") << "roots are separate trees";
}

TEST_F(Registry, NamesIgnoreCaseKeepTheirCaseAndListInWindowsOrder) {
  for (const char* name : {"beta", "Alpha", "_under", "Zed", "alpha2"}) RegCloseKey(Create(HKEY_CLASSES_ROOT, name));
  RegCloseKey(Create(HKEY_CLASSES_ROOT, "ALPHA"));  // the same key as "Alpha"
  // Upper-case folding puts "_" (0x5F) after the letters, as Windows lists it.
  EXPECT_EQ(DumpRegistry(HKEY_CLASSES_ROOT), "Alpha\nalpha2\nbeta\nZed\n_under\n");
}

TEST_F(Registry, OpenStatuses) {
  HKEY parent = Create(HKEY_CURRENT_USER, "A");
  HKEY key = nullptr;
  EXPECT_EQ(Open(HKEY_CURRENT_USER, "A\\Missing", KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(Open(HKEY_CURRENT_USER, "\\A", KEY_READ, &key), ERROR_BAD_PATHNAME);
  EXPECT_EQ(Open(HKEY_CURRENT_USER, "A\\\\B", KEY_READ, &key), ERROR_BAD_PATHNAME);
  EXPECT_EQ(Open(reinterpret_cast<HKEY>(0x1234), "A", KEY_READ, &key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(Open(HKEY_CURRENT_USER, "A", KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
  // A null or empty subkey opens a new handle on the same key.
  for (const char* same : {static_cast<const char*>(nullptr), ""}) {
    ASSERT_EQ(Open(parent, same, KEY_WRITE, &key), ERROR_SUCCESS);
    EXPECT_NE(key, parent);
    EXPECT_EQ(SetString(key, "v", "x"), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  EXPECT_EQ(DumpRegistry(HKEY_CURRENT_USER), "A\n  v=S:x\n");
  EXPECT_EQ(RegCloseKey(parent), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(parent), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS) << "closing a root is harmless";
}

TEST_F(Registry, HandlesCarryTheirAccess) {
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, "K"));
  HKEY reader = nullptr, writer = nullptr;
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "K", KEY_READ, &reader), ERROR_SUCCESS);
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "K", KEY_WRITE, &writer), ERROR_SUCCESS);
  EXPECT_EQ(SetString(reader, "v", "x"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(reader, "v"), ERROR_ACCESS_DENIED);
  HKEY child = nullptr;
  EXPECT_EQ(RegCreateKeyExA(reader, "Child", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(SetString(writer, "v", "x"), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(writer, "v", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
  char name[16];
  DWORD nameSize = sizeof(name);
  EXPECT_EQ(RegEnumKeyExA(writer, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegQueryInfoKeyA(writer, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegQueryValueExA(reader, "v", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 2u);
  // An existing key opened through a read-only parent needs no right on it.
  EXPECT_EQ(RegCreateKeyExA(writer, "Child", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr), ERROR_SUCCESS);
  RegCloseKey(child);
  EXPECT_EQ(RegCreateKeyExA(reader, "Child", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr), ERROR_SUCCESS);
  RegCloseKey(child);
  RegCloseKey(reader);
  RegCloseKey(writer);
}

TEST_F(Registry, ValuesQueryAndEnumerate) {
  HKEY key = Create(HKEY_CURRENT_USER, "V");
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND)
      << "an unset default value is absent";
  EXPECT_EQ(RegQueryValueExA(key, "none", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueA(key, "none"), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(SetString(key, "Second", "hello"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(key, "", "default"), ERROR_SUCCESS);
  const DWORD number = 0x01020304;
  ASSERT_EQ(RegSetValueExA(key, "first", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, "bad", 0, REG_BINARY, nullptr, 3), ERROR_NOACCESS);
  ASSERT_EQ(SetString(key, "SECOND", "again"), ERROR_SUCCESS) << "same value, new data, same place";

  char buffer[8];
  size = 3;
  EXPECT_EQ(RegQueryValueExA(key, "second", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  size = sizeof(buffer);
  EXPECT_EQ(RegQueryValueExA(key, "second", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, "again");
  EXPECT_EQ(RegQueryValueExA(key, "second", nullptr, &type, reinterpret_cast<BYTE*>(buffer), nullptr),
            ERROR_INVALID_PARAMETER);

  EXPECT_EQ(DumpRegistry(HKEY_CURRENT_USER), "V\n  Second=S:again\n  @=S:default\n  first=D:16909060\n  empty=B:\n");
  char name[4];
  DWORD nameSize = sizeof(name);
  EXPECT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  nameSize = sizeof(name);
  EXPECT_EQ(RegEnumValueA(key, 4, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

  DWORD subkeys = 9, values = 0, maxName = 0, maxData = 0;
  EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, &maxName, &maxData,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 0u);
  EXPECT_EQ(values, 4u);
  EXPECT_EQ(maxName, 6u);
  EXPECT_EQ(maxData, 8u);
  EXPECT_EQ(RegDeleteValueA(key, "FIRST"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(DumpRegistry(HKEY_CURRENT_USER), "V\n  Second=S:again\n  empty=B:\n");
  RegCloseKey(key);
}

TEST_F(Registry, EnumKeysNeedsRoomForTheNul) {
  RegCloseKey(Create(HKEY_USERS, "P\\abcd"));
  HKEY key = nullptr;
  ASSERT_EQ(Open(HKEY_USERS, "P", KEY_READ, &key), ERROR_SUCCESS);
  char name[8];
  DWORD size = 4;
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  size = 5;
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
  EXPECT_STREQ(name, "abcd");
  size = sizeof(name);
  EXPECT_EQ(RegEnumKeyExA(key, 1, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  DWORD subkeys = 0, maxSubkey = 0;
  EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 1u);
  EXPECT_EQ(maxSubkey, 4u);
  RegCloseKey(key);
}

TEST_F(Registry, DeleteKeyRules) {
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, "Parent\\Child"));
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Parent"), ERROR_ACCESS_DENIED) << "still has a subkey";
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Parent\\Nothing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED) << "a root cannot be deleted";

  HKEY child = Create(HKEY_LOCAL_MACHINE, "Parent\\Child");
  HKEY reader = nullptr;
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "Parent", KEY_READ, &reader), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(reader, "CHILD"), ERROR_SUCCESS) << "the parent handle's rights do not matter";

  // Every operation through a handle on the deleted key now fails.
  EXPECT_EQ(SetString(child, "v", "x"), ERROR_KEY_DELETED);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(child, "v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  HKEY again = nullptr;
  EXPECT_EQ(RegCreateKeyExA(child, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &again, nullptr), ERROR_KEY_DELETED);
  EXPECT_EQ(Open(child, nullptr, KEY_READ, &again), ERROR_KEY_DELETED);
  EXPECT_EQ(RegQueryInfoKeyA(child, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(child), ERROR_SUCCESS);

  // A key of the same name made afterwards is a new key.
  child = Create(HKEY_LOCAL_MACHINE, "Parent\\Child");
  EXPECT_EQ(RegQueryValueExA(child, "v", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(child);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Parent\\Child"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(reader, ""), ERROR_SUCCESS) << "an empty subkey names the key itself";
  EXPECT_EQ(DumpRegistry(HKEY_LOCAL_MACHINE), "");
  RegCloseKey(reader);
}

TEST_F(Registry, NameAndDepthLimits) {
  const std::string longest(255, 'k');
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, longest.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  const std::string tooLong(256, 'k');
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, tooLong.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "\\Lead", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
            ERROR_BAD_PATHNAME);

  // 32 new levels in one call at most; 512 levels below a root at most.
  std::string path = "L";
  for (int i = 1; i < 32; ++i) path += "\\L";
  EXPECT_EQ(RegCreateKeyExA(HKEY_USERS, (path + "\\L").c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
            ERROR_INVALID_PARAMETER);
  HKEY deep = Create(HKEY_USERS, path.c_str());
  for (int level = 32; level < 512; level += 32) {
    HKEY deeper = Create(deep, path.c_str());
    RegCloseKey(deep);
    deep = deeper;
  }
  EXPECT_EQ(RegCreateKeyExA(deep, "L", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr), ERROR_INVALID_PARAMETER);
  RegCloseKey(deep);
}

TEST_F(Registry, VolatileKeysHoldOnlyVolatileChildren) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Vol", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  HKEY child = nullptr;
  EXPECT_EQ(RegCreateKeyExA(key, "Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
            ERROR_CHILD_MUST_BE_VOLATILE);
  RegCloseKey(key);
}

TEST_F(Registry, RefusingWritesLetsReadersIn) {
  RegCloseKey(Create(HKEY_CLASSES_ROOT, "Locked\\Inside"));
  EXPECT_EQ(WinapiSetKeyRefusesWrites(HKEY_CLASSES_ROOT, "Missing", TRUE), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(WinapiSetKeyRefusesWrites(HKEY_CLASSES_ROOT, "Locked", TRUE), ERROR_SUCCESS);
  HKEY key = nullptr;
  EXPECT_EQ(Open(HKEY_CLASSES_ROOT, "Locked", KEY_READ | KEY_WRITE, &key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Locked", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Locked\\New", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
            ERROR_ACCESS_DENIED);
  ASSERT_EQ(Open(HKEY_CLASSES_ROOT, "Locked", KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(SetString(key, "v", "x"), ERROR_ACCESS_DENIED);
  RegCloseKey(key);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Locked\\Inside"), ERROR_SUCCESS) << "children are not locked";
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Locked"), ERROR_ACCESS_DENIED);
  ASSERT_EQ(WinapiSetKeyRefusesWrites(HKEY_CLASSES_ROOT, "Locked", FALSE), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Locked"), ERROR_SUCCESS);
}

TEST_F(Registry, ResetEmptiesEveryRootAndOrphansHandles) {
  HKEY key = Create(HKEY_USERS, "X");
  RegCloseKey(Create(HKEY_CURRENT_CONFIG, "Y"));
  WinapiResetRegistry();
  EXPECT_EQ(SetString(key, "v", "x"), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  for (HKEY root : {HKEY_USERS, HKEY_CURRENT_CONFIG}) EXPECT_EQ(DumpRegistry(root), "");
}

// Windows keeps no keys or values of its own under these two: its write
// functions do not take them.
TEST_F(Registry, RootsThatHoldNothingRefuseWrites) {
  for (HKEY root : {HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA}) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(root, "X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetString(root, "v", "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteValueA(root, "v"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteKeyA(root, "X"), ERROR_INVALID_HANDLE);
    ASSERT_EQ(Open(root, nullptr, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(SetString(key, "v", "x"), ERROR_INVALID_HANDLE) << "nor through a handle on the root";
    RegCloseKey(key);
    EXPECT_EQ(DumpRegistry(root), "");
  }
}

}  // namespace
