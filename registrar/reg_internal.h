// Pieces the registrar's own files share; not part of its interface.
#pragma once

#include <windows.h>
#include <objbase.h>

// "M" carries its own code, distinct from the plain string's.
constexpr VARTYPE kVtMultiString = 0x4008;

// What a pass expected where a script went wrong, for the fault it records.
constexpr char kExpectRoot[] = "a root key such as HKCR or HKEY_LOCAL_MACHINE";
constexpr char kExpectOpenBrace[] = "'{'";
constexpr char kExpectEntry[] = "a key name, 'val' or '}'";
constexpr char kExpectAfterKey[] = "'=', '{', a key name, 'val' or '}'";
constexpr char kExpectKeyName[] = "a key name";
constexpr char kExpectOneName[] = "a key name without a backslash (each level has its own block)";
constexpr char kExpectValueName[] = "a value name";
constexpr char kExpectEquals[] = "'=' after the value name";
constexpr char kExpectType[] = "a value type: S, M, D or B";
constexpr char kExpectData[] = "the value's data";
constexpr char kExpectNumber[] = "an unsigned 32-bit number";
constexpr char kExpectHexPairs[] = "pairs of hexadecimal digits";
constexpr char kExpectShallower[] = "at most 64 levels of blocks";

// A buffer of bytes: in place up to N, larger from the task allocator.
template <int N>
class CValueBuffer {
 public:
  CValueBuffer() = default;
  CValueBuffer(const CValueBuffer&) = delete;
  CValueBuffer& operator=(const CValueBuffer&) = delete;
  ~CValueBuffer() {
    if (m_data != m_fixed) CoTaskMemFree(m_data);
  }
  BYTE* Allocate(SIZE_T size) {
    if (size > N) m_data = static_cast<BYTE*>(CoTaskMemAlloc(size));
    return m_data;
  }

 private:
  BYTE m_fixed[N];
  BYTE* m_data = m_fixed;
};
