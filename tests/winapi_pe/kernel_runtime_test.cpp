// The memory calls an image's C runtime makes to patch its own pages.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <windows.h>

namespace {

TEST(KernelRuntime, ProtectionIsReportedAndChangedPageByPage) {
  const size_t page = 4096;
  auto* pages = static_cast<BYTE*>(mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(pages, MAP_FAILED);
  MEMORY_BASIC_INFORMATION info;
  ASSERT_EQ(VirtualQuery(pages + page + 10, &info, sizeof(info)), sizeof(info));
  EXPECT_EQ(info.BaseAddress, pages + page);
  EXPECT_EQ(info.State, static_cast<DWORD>(MEM_COMMIT));
  EXPECT_EQ(info.Protect, static_cast<DWORD>(PAGE_READWRITE));

  DWORD old = 0;
  ASSERT_TRUE(VirtualProtect(pages + page + 10, 1, PAGE_EXECUTE_READ, &old));
  EXPECT_EQ(old, static_cast<DWORD>(PAGE_READWRITE));
  ASSERT_EQ(VirtualQuery(pages + page, &info, sizeof(info)), sizeof(info));
  EXPECT_EQ(info.Protect, static_cast<DWORD>(PAGE_EXECUTE_READ));
  EXPECT_EQ(info.RegionSize, page) << "only the page asked for changed";
  ASSERT_TRUE(VirtualProtect(pages + page, page, PAGE_READWRITE, &old));
  EXPECT_EQ(old, static_cast<DWORD>(PAGE_EXECUTE_READ));
  pages[page] = 1;

  EXPECT_FALSE(VirtualProtect(pages, page, 0x1234, &old));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(VirtualProtect(pages, page, PAGE_READONLY, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  munmap(pages, 3 * page);

  auto* low = reinterpret_cast<BYTE*>(page);  // below the lowest address the kernel maps
  EXPECT_FALSE(VirtualProtect(low, page, PAGE_READONLY, &old));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
  ASSERT_EQ(VirtualQuery(low, &info, sizeof(info)), sizeof(info));
  EXPECT_EQ(info.State, static_cast<DWORD>(MEM_FREE));
}

}  // namespace
