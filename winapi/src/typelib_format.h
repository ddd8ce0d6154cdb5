// The content of a type library as read from its binary file (the "MSFT"
// format that MIDL and widl write), held as plain data that the ITypeLib and
// ITypeInfo objects of typelib.cpp answer from. Not part of the layer's API.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace winapi {

// A TYPEDESC as data: the type, what a pointer, safe array or fixed array holds,
// the bounds of a fixed array, or the reference of a user-defined type.
struct TypeSpec {
  VARTYPE vt = VT_EMPTY;
  HREFTYPE href = 0;
  std::shared_ptr<TypeSpec> inner;
  std::vector<SAFEARRAYBOUND> bounds;
};

// A constant or a parameter's default value (VT_EMPTY when there is none).
struct ConstValue {
  VARTYPE vt = VT_EMPTY;
  LONGLONG integer = 0;
  std::u16string text;
};

struct ParamData {
  TypeSpec type;
  std::u16string name;
  USHORT flags = 0;  // PARAMFLAG_*
  ConstValue defaultValue;
};

struct FuncData {
  MEMBERID memid = 0;
  FUNCKIND funckind = FUNC_PUREVIRTUAL;
  INVOKEKIND invkind = INVOKE_FUNC;
  CALLCONV callconv = CC_STDCALL;
  SHORT cParamsOpt = 0;
  int vtableIndex = 0;  // slot number, whatever the pointer size of the file
  WORD flags = 0;       // FUNCFLAG_*
  TypeSpec result;
  std::vector<ParamData> params;
  std::u16string name;
  std::u16string doc;
  DWORD helpContext = 0;
};

struct VarData {
  MEMBERID memid = 0;
  VARKIND varkind = VAR_PERINSTANCE;
  WORD flags = 0;  // VARFLAG_*
  ULONG offset = 0;
  TypeSpec type;
  ConstValue value;
  std::u16string name;
  std::u16string doc;
  DWORD helpContext = 0;
};

struct ImplData {
  HREFTYPE href = 0;
  INT flags = 0;  // IMPLTYPEFLAG_*
};

struct TypeData {
  HREFTYPE href = 0;  // its offset in the file's type table
  UINT index = 0;
  TYPEKIND kind = TKIND_ENUM;
  GUID guid = {};
  WORD flags = 0;  // TYPEFLAG_*
  WORD major = 0;
  WORD minor = 0;
  ULONG size = 0;
  WORD alignment = 0;
  int vtableSlots = 0;  // of the interface (for a dual: of its interface side)
  std::u16string name;
  std::u16string doc;
  DWORD helpContext = 0;
  std::vector<ImplData> impls;
  std::vector<FuncData> funcs;
  std::vector<VarData> vars;
  TypeSpec alias;
};

// A type another library defines, referenced through an import entry.
struct ImportData {
  DWORD offset = 0;  // the reference is offset | 1
  GUID libraryGuid = {};
  WORD major = 0;
  WORD minor = 0;
  LCID lcid = 0;
  std::u16string file;
  bool byGuid = true;
  GUID typeGuid = {};
  UINT typeIndex = 0;
};

struct LibraryData {
  GUID guid = {};
  LCID lcid = 0;
  SYSKIND syskind = SYS_WIN32;
  WORD major = 0;
  WORD minor = 0;
  WORD flags = 0;  // LIBFLAG_*
  std::u16string name;
  std::u16string doc;
  std::u16string helpFile;
  DWORD helpContext = 0;
  LONG dispatchHref = -1;  // the reference to IDispatch, when the library uses it
  std::vector<TypeData> types;
  std::vector<ImportData> imports;

  const TypeData* TypeAt(HREFTYPE href) const;
  const ImportData* ImportAt(HREFTYPE href) const;
};

enum class ParseResult { Ok, NotTypeLibrary, Corrupt };

// Reads a whole type library file. Every offset is checked against the data.
ParseResult ParseTypeLibrary(const BYTE* data, size_t size, LibraryData* out);

}  // namespace winapi
