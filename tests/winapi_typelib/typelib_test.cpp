// Type libraries read from the files widl wrote: Daybander's own (from the
// .tlb and from the module's TYPELIB resource) and a test library with real
// members; the statuses of what cannot be loaded.
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "calc.h"
#include "typelib_fixture.h"

namespace typelib_test {
namespace {

// {8200D3A3-81E7-4A2A-A0B2-17E272B1A45C}, {73FE2B10-...}, {8DCA1F48-...}
const GUID kDaybanderLibId = {0x8200D3A3, 0x81E7, 0x4A2A, {0xA0, 0xB2, 0x17, 0xE2, 0x72, 0xB1, 0xA4, 0x5C}};
const IID kExplorerBarIid = {0x73FE2B10, 0x075F, 0x4D49, {0x90, 0xDF, 0x80, 0x47, 0x68, 0x58, 0x8E, 0x6C}};
const CLSID kExplorerBarClsid = {0x8DCA1F48, 0x0961, 0x4FE8, {0xB7, 0x0F, 0x45, 0xE1, 0xC4, 0xF0, 0x65, 0x7C}};

struct Documentation {
  std::string name, doc, helpFile;
  DWORD context = 0;
  bool hasDoc = false, hasHelpFile = false;
};

Documentation LibraryDoc(ITypeLib* lib, INT index) {
  unique_bstr name, doc, file;
  Documentation d;
  EXPECT_EQ(lib->GetDocumentation(index, name.put(), doc.put(), &d.context, file.put()), S_OK);
  d.name = Narrow(name.get());
  d.doc = Narrow(doc.get());
  d.helpFile = Narrow(file.get());
  d.hasDoc = doc.get() != nullptr;
  d.hasHelpFile = file.get() != nullptr;
  return d;
}

Documentation MemberDoc(ITypeInfo* info, MEMBERID memid) {
  unique_bstr name, doc, file;
  Documentation d;
  EXPECT_EQ(info->GetDocumentation(memid, name.put(), doc.put(), &d.context, file.put()), S_OK);
  d.name = Narrow(name.get());
  d.doc = Narrow(doc.get());
  d.helpFile = Narrow(file.get());
  d.hasDoc = doc.get() != nullptr;
  return d;
}

using TypeLibrary = TypeLibTest;

// What the browser's automation side sees of Daybander's library, whether it
// is read from the .tlb the build wrote or from the module that carries it.
TEST_F(TypeLibrary, DaybanderLibraryFromFileAndFromModule) {
  for (const std::string& path : {std::string(DAYBANDER_TLB), ModulePath()}) {
    SCOPED_TRACE(path);
    com_ptr<ITypeLib> lib;
    ASSERT_EQ(Load(path, &lib), S_OK);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, kDaybanderLibId));
    EXPECT_EQ(attr->lcid, 0u);
    EXPECT_EQ(attr->syskind, SYS_WIN32);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->wLibFlags, 0);
    lib->ReleaseTLibAttr(attr);

    const Documentation d = LibraryDoc(lib.get(), -1);
    EXPECT_EQ(d.name, "DAYBANDERLib");
    EXPECT_EQ(d.doc, "Daybander 1.0 Type Library");
    EXPECT_FALSE(d.hasHelpFile);  // so registration records no help folder

    ASSERT_EQ(lib->GetTypeInfoCount(), 2u) << "IDispatch must be imported, not copied in";
    TYPEKIND kinds[2];
    ASSERT_EQ(lib->GetTypeInfoType(0, &kinds[0]), S_OK);
    ASSERT_EQ(lib->GetTypeInfoType(1, &kinds[1]), S_OK);
    EXPECT_EQ(kinds[0], TKIND_DISPATCH);
    EXPECT_EQ(kinds[1], TKIND_COCLASS);
    EXPECT_EQ(LibraryDoc(lib.get(), 0).doc, "IExplorerBar Interface");
    EXPECT_EQ(LibraryDoc(lib.get(), 1).doc, "ExplorerBar Class");

    com_ptr<ITypeInfo> bar = TypeOfGuid(lib.get(), kExplorerBarIid);
    ASSERT_TRUE(bar);
    {
      TypeAttr a(bar.get());
      EXPECT_EQ(a->typekind, TKIND_DISPATCH);
      EXPECT_EQ(a->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE),
                TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE);
      EXPECT_EQ(a->cFuncs, 0);
      EXPECT_EQ(a->cVars, 0);
      EXPECT_EQ(a->cImplTypes, 1);
      EXPECT_EQ(a->cbSizeVft, 7 * sizeof(void*));
    }
    com_ptr<ITypeInfo> coclass = TypeOfGuid(lib.get(), kExplorerBarClsid);
    ASSERT_TRUE(coclass);
    {
      TypeAttr a(coclass.get());
      EXPECT_EQ(a->typekind, TKIND_COCLASS);
      EXPECT_EQ(a->wTypeFlags, TYPEFLAG_FCANCREATE);
      EXPECT_EQ(a->cImplTypes, 1);
    }
    HREFTYPE href = 0;
    INT implFlags = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &href), S_OK);
    EXPECT_EQ(coclass->GetImplTypeFlags(0, &implFlags), S_OK);
    EXPECT_EQ(implFlags, IMPLTYPEFLAG_FDEFAULT);
    com_ptr<ITypeInfo> implemented;
    ASSERT_EQ(coclass->GetRefTypeInfo(href, implemented.put()), S_OK);
    EXPECT_TRUE(IsEqualGUID(TypeAttr(implemented.get())->guid, kExplorerBarIid));

    UINT index = 99;
    com_ptr<ITypeLib> container;
    ASSERT_EQ(coclass->GetContainingTypeLib(container.put(), &index), S_OK);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(container.get(), lib.get());
  }
}

// The dual interface's two sides; its base is a reference into stdole2.tlb,
// found only once that library is registered.
TEST_F(TypeLibrary, DualInterfaceViewsAndTheImportedBase) {
  com_ptr<ITypeLib> lib;
  ASSERT_EQ(Load(DAYBANDER_TLB, &lib), S_OK);
  com_ptr<ITypeInfo> bar = TypeOfGuid(lib.get(), kExplorerBarIid);

  HREFTYPE interfaceSide = 0;
  ASSERT_EQ(bar->GetRefTypeOfImplType(static_cast<UINT>(-1), &interfaceSide), S_OK);
  com_ptr<ITypeInfo> vtableView;
  ASSERT_EQ(bar->GetRefTypeInfo(interfaceSide, vtableView.put()), S_OK);
  {
    TypeAttr a(vtableView.get());
    EXPECT_EQ(a->typekind, TKIND_INTERFACE);
    EXPECT_TRUE(IsEqualGUID(a->guid, kExplorerBarIid));
    EXPECT_EQ(a->cbSizeVft, 7 * sizeof(void*));
  }
  HREFTYPE none = 0;
  EXPECT_EQ(vtableView->GetRefTypeOfImplType(static_cast<UINT>(-1), &none), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(bar->GetRefTypeOfImplType(1, &none), TYPE_E_ELEMENTNOTFOUND);

  HREFTYPE base = 0;
  ASSERT_EQ(bar->GetRefTypeOfImplType(0, &base), S_OK);
  EXPECT_EQ(base & 1, 1u) << "the base is an import";
  com_ptr<ITypeInfo> dispatch;
  EXPECT_EQ(bar->GetRefTypeInfo(base, dispatch.put()), TYPE_E_LIBNOTREGISTERED);
  EXPECT_FALSE(dispatch);

  com_ptr<ITypeLib> stdole;
  ASSERT_EQ(Load(STDOLE_TLB, &stdole), S_OK);
  ASSERT_EQ(RegisterTypeLib(stdole.get(), Wide(STDOLE_TLB).c_str(), nullptr), S_OK);
  ASSERT_EQ(bar->GetRefTypeInfo(base, dispatch.put()), S_OK);
  EXPECT_TRUE(IsEqualGUID(TypeAttr(dispatch.get())->guid, IID_IDispatch));
  EXPECT_EQ(MemberDoc(dispatch.get(), MEMBERID_NIL).name, "IDispatch");
}

// An interface without members: no names, nothing to invoke.
TEST_F(TypeLibrary, MemberlessInterfaceAnswersLikeWindows) {
  com_ptr<ITypeLib> lib;
  ASSERT_EQ(Load(DAYBANDER_TLB, &lib), S_OK);
  com_ptr<ITypeInfo> bar = TypeOfGuid(lib.get(), kExplorerBarIid);
  com_ptr<ITypeInfo2> bar2;
  ASSERT_EQ(bar.query(IID_ITypeInfo2, &bar2), S_OK);

  OLECHAR name[] = u"Anything";
  LPOLESTR names[] = {name};
  MEMBERID id = 0;
  EXPECT_EQ(bar->GetIDsOfNames(names, 1, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  IUnknown* instance = bar.get();  // never called: there is no member to call
  EXPECT_EQ(bar->Invoke(instance, 1, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
  FUNCDESC* func = nullptr;
  EXPECT_EQ(bar->GetFuncDesc(0, &func), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(func, nullptr);
  BSTR memberName = nullptr;
  EXPECT_EQ(bar->GetDocumentation(1, &memberName, nullptr, nullptr, nullptr), TYPE_E_ELEMENTNOTFOUND);
  TYPEKIND kind;
  ULONG flags = 0;
  EXPECT_EQ(bar2->GetTypeKind(&kind), S_OK);
  EXPECT_EQ(kind, TKIND_DISPATCH);
  EXPECT_EQ(bar2->GetTypeFlags(&flags), S_OK);
  EXPECT_TRUE(flags & TYPEFLAG_FDUAL);

  com_ptr<ITypeInfo> missing;
  const GUID other = {0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};
  EXPECT_EQ(lib->GetTypeInfoOfGuid(other, missing.put()), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(lib->GetTypeInfo(2, missing.put()), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(lib->GetDocumentation(2, nullptr, nullptr, nullptr, nullptr), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(lib->GetTypeInfoOfGuid(kExplorerBarIid, nullptr), E_INVALIDARG);
}

// The test library: functions, properties, parameters and defaults as both
// sides of the dual interface describe them.
TEST_F(TypeLibrary, FunctionsOfBothSidesOfADualInterface) {
  com_ptr<ITypeLib> lib;
  ASSERT_EQ(Load(CALC_TLB, &lib), S_OK);
  const Documentation d = LibraryDoc(lib.get(), -1);
  EXPECT_EQ(d.name, "CalcLib");
  EXPECT_EQ(d.helpFile, "calc.hlp");
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
  EXPECT_EQ(attr->wMajorVerNum, 2);
  EXPECT_EQ(attr->wMinorVerNum, 3);
  lib->ReleaseTLibAttr(attr);

  com_ptr<ITypeInfo> calc = TypeOfGuid(lib.get(), kCalcIid);
  ASSERT_TRUE(calc);
  ASSERT_EQ(TypeAttr(calc.get())->cFuncs, 9);

  // Dispatch side: [retval] becomes the result.
  {
    FuncDesc add(calc.get(), 0);
    EXPECT_EQ(add->memid, 1);
    EXPECT_EQ(add->funckind, FUNC_DISPATCH);
    EXPECT_EQ(add->invkind, INVOKE_FUNC);
    EXPECT_EQ(add->cParams, 2);
    EXPECT_EQ(add->elemdescFunc.tdesc.vt, VT_I4);
    EXPECT_EQ(add.Param(0).tdesc.vt, VT_I4);
    EXPECT_EQ(add.Param(0).paramdesc.wParamFlags, PARAMFLAG_FIN);
    const Documentation doc = MemberDoc(calc.get(), 1);
    EXPECT_EQ(doc.name, "Add");
    EXPECT_EQ(doc.doc, "Adds two numbers");
  }
  {
    FuncDesc get(calc.get(), 1), put(calc.get(), 2), reset(calc.get(), 3);
    EXPECT_EQ(get->invkind, INVOKE_PROPERTYGET);
    EXPECT_EQ(get->cParams, 0);
    EXPECT_EQ(get->elemdescFunc.tdesc.vt, VT_I4);
    EXPECT_EQ(put->invkind, INVOKE_PROPERTYPUT);
    EXPECT_EQ(put->cParams, 1);
    EXPECT_EQ(put->memid, get->memid);
    EXPECT_EQ(reset->elemdescFunc.tdesc.vt, VT_VOID);
  }
  {
    FuncDesc scale(calc.get(), 4);
    ASSERT_EQ(scale->cParams, 2);
    const PARAMDESC& divisor = scale.Param(1).paramdesc;
    EXPECT_EQ(divisor.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT);
    ASSERT_NE(divisor.pparamdescex, nullptr);
    EXPECT_EQ(divisor.pparamdescex->varDefaultValue.vt, VT_I4);
    EXPECT_EQ(divisor.pparamdescex->varDefaultValue.lVal, 10);
  }
  {
    FuncDesc echo(calc.get(), 5), twice(calc.get(), 6), round(calc.get(), 7);
    EXPECT_EQ(echo.Param(0).tdesc.vt, VT_BSTR);
    EXPECT_EQ(echo->elemdescFunc.tdesc.vt, VT_BSTR);
    ASSERT_EQ(twice.Param(0).tdesc.vt, VT_PTR);
    EXPECT_EQ(twice.Param(0).tdesc.lptdesc->vt, VT_I4);
    EXPECT_EQ(twice.Param(0).paramdesc.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOUT);
    ASSERT_EQ(round.Param(0).tdesc.vt, VT_USERDEFINED);
    com_ptr<ITypeInfo> rounding;
    ASSERT_EQ(calc->GetRefTypeInfo(round.Param(0).tdesc.hreftype, rounding.put()), S_OK);
    TypeAttr a(rounding.get());
    EXPECT_EQ(a->typekind, TKIND_ENUM);
    EXPECT_TRUE(IsEqualGUID(a->guid, kRoundingGuid));
    ASSERT_EQ(a->cVars, 2);
    VARDESC* up = nullptr;
    ASSERT_EQ(rounding->GetVarDesc(1, &up), S_OK);
    EXPECT_EQ(up->varkind, VAR_CONST);
    EXPECT_EQ(up->lpvarValue->vt, VT_I4);
    EXPECT_EQ(up->lpvarValue->lVal, 2);
    EXPECT_EQ(MemberDoc(rounding.get(), up->memid).name, "RoundUp");
    rounding->ReleaseVarDesc(up);
  }

  // Interface side: the vtable as C++ declares it.
  HREFTYPE href = 0;
  ASSERT_EQ(calc->GetRefTypeOfImplType(static_cast<UINT>(-1), &href), S_OK);
  com_ptr<ITypeInfo> vtable;
  ASSERT_EQ(calc->GetRefTypeInfo(href, vtable.put()), S_OK);
  EXPECT_EQ(TypeAttr(vtable.get())->cbSizeVft, 16 * sizeof(void*));
  for (UINT i = 0; i < 9; ++i) {
    FuncDesc f(vtable.get(), i);
    EXPECT_EQ(f->funckind, FUNC_PUREVIRTUAL) << i;
    EXPECT_EQ(f->elemdescFunc.tdesc.vt, VT_HRESULT) << i;
    EXPECT_EQ(f->oVft, static_cast<SHORT>((7 + i) * sizeof(void*))) << i;
  }
  FuncDesc add(vtable.get(), 0);
  EXPECT_EQ(add->cParams, 3);
  EXPECT_EQ(add.Param(2).paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
}

TEST_F(TypeLibrary, NamesAndIdsOfMembersAndParameters) {
  com_ptr<ITypeLib> lib;
  ASSERT_EQ(Load(CALC_TLB, &lib), S_OK);
  com_ptr<ITypeInfo> calc = TypeOfGuid(lib.get(), kCalcIid);

  BSTR names[4] = {};
  UINT count = 0;
  ASSERT_EQ(calc->GetNames(1, names, 4, &count), S_OK);
  ASSERT_EQ(count, 3u) << "the dispatch side does not show the [retval]";
  EXPECT_EQ(Narrow(names[0]), "Add");
  EXPECT_EQ(Narrow(names[1]), "a");
  EXPECT_EQ(Narrow(names[2]), "b");
  for (UINT i = 0; i < count; ++i) SysFreeString(names[i]);
  ASSERT_EQ(calc->GetNames(1, names, 1, &count), S_OK);
  EXPECT_EQ(count, 1u);
  SysFreeString(names[0]);
  EXPECT_EQ(calc->GetNames(99, names, 4, &count), TYPE_E_ELEMENTNOTFOUND);

  struct Case {
    std::vector<std::u16string> names;
    HRESULT result;
    std::vector<MEMBERID> ids;
  };
  const Case cases[] = {
      {{u"Add"}, S_OK, {1}},
      {{u"aDD", u"B", u"a"}, S_OK, {1, 1, 0}},  // names ignore case
      {{u"Total"}, S_OK, {2}},
      {{u"Scale", u"divisor"}, S_OK, {4, 1}},
      {{u"Add", u"c"}, DISP_E_UNKNOWNNAME, {1, DISPID_UNKNOWN}},
      {{u"Subtract"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
      {{u"Add", u"sum"}, DISP_E_UNKNOWNNAME, {1, DISPID_UNKNOWN}},  // the [retval] has no id
  };
  for (const Case& c : cases) {
    std::vector<std::u16string> buffers = c.names;
    std::vector<LPOLESTR> pointers;
    for (auto& b : buffers) pointers.push_back(&b[0]);
    std::vector<MEMBERID> ids(pointers.size(), 1234);
    EXPECT_EQ(calc->GetIDsOfNames(pointers.data(), static_cast<UINT>(pointers.size()), ids.data()), c.result)
        << Narrow(c.names[0].c_str());
    EXPECT_EQ(ids, c.ids) << Narrow(c.names[0].c_str());
  }

  // The dispatch-only interface: a property and a method.
  com_ptr<ITypeInfo> events = TypeOfGuid(lib.get(), kCalcEventsIid);
  {
    TypeAttr a(events.get());
    EXPECT_EQ(a->typekind, TKIND_DISPATCH);
    EXPECT_EQ(a->cFuncs, 1);
    EXPECT_EQ(a->cVars, 1);
    EXPECT_EQ(a->cImplTypes, 1);
  }
  OLECHAR countName[] = u"count";
  LPOLESTR one[] = {countName};
  MEMBERID id = 0;
  EXPECT_EQ(events->GetIDsOfNames(one, 1, &id), S_OK);
  EXPECT_EQ(id, 20);
  VARDESC* var = nullptr;
  ASSERT_EQ(events->GetVarDesc(0, &var), S_OK);
  EXPECT_EQ(var->varkind, VAR_DISPATCH);
  EXPECT_EQ(var->elemdescVar.tdesc.vt, VT_I4);
  events->ReleaseVarDesc(var);

  com_ptr<ITypeInfo> coclass = TypeOfGuid(lib.get(), kCalcClsid);
  INT flags[2] = {};
  ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags[0]), S_OK);
  ASSERT_EQ(coclass->GetImplTypeFlags(1, &flags[1]), S_OK);
  EXPECT_EQ(flags[0], IMPLTYPEFLAG_FDEFAULT);
  EXPECT_EQ(flags[1], IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
  EXPECT_EQ(coclass->GetImplTypeFlags(2, &flags[0]), TYPE_E_ELEMENTNOTFOUND);
}

std::vector<BYTE> ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<BYTE>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::string WriteTemp(const std::string& name, const std::vector<BYTE>& bytes) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

TEST_F(TypeLibrary, WhatCannotBeLoaded) {
  com_ptr<ITypeLib> lib;
  const std::string text = WriteTemp("not-a-library.txt", {'h', 'e', 'l', 'l', 'o'});
  const std::string module = ModulePath();
  struct Case {
    std::string path;
    HRESULT result;
  };
  const Case cases[] = {
      {"/nonexistent/folder/daybander.tlb", TYPE_E_CANTLOADLIBRARY},
      {text, TYPE_E_CANTLOADLIBRARY},
      {module + "\\2", TYPE_E_CANTLOADLIBRARY},  // no TYPELIB 2 in the module
      {module + "\\1", S_OK},
      {WINAPI_LIBRARY, TYPE_E_CANTLOADLIBRARY},  // a module without a TYPELIB resource
      {"", TYPE_E_CANTLOADLIBRARY},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Load(c.path, &lib), c.result) << c.path;
    EXPECT_EQ(static_cast<bool>(lib), c.result == S_OK) << c.path;
  }
  EXPECT_EQ(LoadTypeLib(nullptr, lib.put()), E_INVALIDARG);
  EXPECT_EQ(LoadTypeLib(Wide(DAYBANDER_TLB).c_str(), nullptr), E_INVALIDARG);
}

// A damaged file is refused, never read out of bounds: every truncation and a
// sweep of overwritten DWORDs, checked under the address sanitizer.
TEST_F(TypeLibrary, DamagedFilesAreRefusedSafely) {
  const std::vector<BYTE> good = ReadAll(CALC_TLB);
  ASSERT_GT(good.size(), 0x100u);
  com_ptr<ITypeLib> lib;
  for (size_t length = 4; length < good.size(); length += 7) {
    std::vector<BYTE> cut(good.begin(), good.begin() + static_cast<long>(length));
    const HRESULT hr = Load(WriteTemp("cut.tlb", cut), &lib);
    EXPECT_TRUE(hr == TYPE_E_INVDATAREAD || hr == S_OK) << length;
  }
  const DWORD patterns[] = {0xFFFFFFFFu, 0x7FFFFFF0u};
  for (size_t at = 0; at + 4 <= good.size(); at += 4) {
    for (DWORD pattern : patterns) {
      std::vector<BYTE> bad = good;
      std::memcpy(&bad[at], &pattern, 4);
      if (FAILED(Load(WriteTemp("bad.tlb", bad), &lib))) continue;
      // Whatever loaded must describe itself without reading past the data.
      for (UINT t = 0; t < lib->GetTypeInfoCount(); ++t) {
        com_ptr<ITypeInfo> info;
        if (FAILED(lib->GetTypeInfo(t, info.put()))) continue;
        TYPEATTR* attr = nullptr;
        if (FAILED(info->GetTypeAttr(&attr))) continue;
        for (UINT f = 0; f < attr->cFuncs; ++f) {
          FUNCDESC* func = nullptr;
          if (SUCCEEDED(info->GetFuncDesc(f, &func))) info->ReleaseFuncDesc(func);
        }
        info->ReleaseTypeAttr(attr);
      }
    }
  }
}

}  // namespace
}  // namespace typelib_test
