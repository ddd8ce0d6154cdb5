// OLE Automation type libraries: ITypeLib and ITypeInfo objects over a parsed
// type library file (typelib_format.cpp), loaded from a .tlb file or from a
// module's TYPELIB resource. Registration is in typelib_registration.cpp.
//
// A dual interface is stored once, as a dispatch interface flagged dual; as on
// Windows it has two views: the dispatch view that GetTypeInfoOfGuid returns
// (functions of kind FUNC_DISPATCH, an HRESULT result replaced by the [retval]
// parameter) and the interface view reached through GetRefTypeOfImplType(-1).
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "internal.h"
#include "stdcall_call.h"
#include "typelib_format.h"
#include "winapi_control.h"

using winapi::ConstValue;
using winapi::FuncData;
using winapi::ImportData;
using winapi::LibraryData;
using winapi::ParamData;
using winapi::TypeData;
using winapi::TypeSpec;
using winapi::VarData;

namespace {

// References to the interface view of a dual interface: the type's own offset
// with bit 1 set (offsets are multiples of four; bit 0 marks imports).
constexpr HREFTYPE kInterfaceViewBit = 2;
constexpr int kDispatchSlots = 7;  // IUnknown's three and IDispatch's four

BSTR MakeBstr(const std::u16string& text) {
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

void SetOptionalBstr(BSTR* out, const std::u16string& text) {
  if (out) *out = text.empty() ? nullptr : MakeBstr(text);
}

// ---------------------------------------------------------------------------
// Descriptions handed out (TYPEATTR, FUNCDESC, VARDESC, TLIBATTR) with what
// they point to, kept until the matching Release call.
struct DescBlock {
  std::unique_ptr<TYPEATTR> attr;
  std::unique_ptr<FUNCDESC> func;
  std::unique_ptr<VARDESC> var;
  std::unique_ptr<TLIBATTR> libAttr;
  std::vector<std::unique_ptr<TYPEDESC>> typeDescs;
  std::vector<std::unique_ptr<BYTE[]>> arrayDescs;
  std::vector<std::unique_ptr<PARAMDESCEX>> defaults;
  std::unique_ptr<ELEMDESC[]> params;
  std::unique_ptr<VARIANT> constValue;

  ~DescBlock() {
    for (auto& d : defaults) VariantClear(&d->varDefaultValue);
    if (constValue) VariantClear(constValue.get());
  }

  void Fill(const TypeSpec& spec, TYPEDESC* out, int depth = 0) {
    std::memset(out, 0, sizeof(*out));
    out->vt = spec.vt;
    switch (spec.vt) {
      case VT_PTR:
      case VT_SAFEARRAY: {
        auto inner = std::make_unique<TYPEDESC>();
        if (spec.inner && depth < 16) {
          Fill(*spec.inner, inner.get(), depth + 1);
        } else {
          inner->vt = VT_VOID;
        }
        out->lptdesc = inner.get();
        typeDescs.push_back(std::move(inner));
        break;
      }
      case VT_USERDEFINED:
        out->hreftype = spec.href;
        break;
      case VT_CARRAY: {
        const size_t dims = spec.bounds.empty() ? 1 : spec.bounds.size();
        auto bytes = std::make_unique<BYTE[]>(sizeof(ARRAYDESC) + (dims - 1) * sizeof(SAFEARRAYBOUND));
        auto* array = reinterpret_cast<ARRAYDESC*>(bytes.get());
        if (spec.inner && depth < 16) Fill(*spec.inner, &array->tdescElem, depth + 1);
        array->cDims = static_cast<USHORT>(spec.bounds.size());
        for (size_t d = 0; d < spec.bounds.size(); ++d) array->rgbounds[d] = spec.bounds[d];
        out->lpadesc = array;
        arrayDescs.push_back(std::move(bytes));
        break;
      }
      default:
        break;
    }
  }
};

std::mutex g_descLock;
std::map<const void*, std::unique_ptr<DescBlock>> g_descs;

void KeepDesc(const void* key, std::unique_ptr<DescBlock> block) {
  std::lock_guard<std::mutex> hold(g_descLock);
  g_descs[key] = std::move(block);
  WinapiCountObject(WinapiTypeObjects, 1);
}

void ReleaseDesc(const void* key) {
  if (!key) return;
  std::unique_ptr<DescBlock> block;
  {
    std::lock_guard<std::mutex> hold(g_descLock);
    auto it = g_descs.find(key);
    if (it == g_descs.end()) return;
    block = std::move(it->second);
    g_descs.erase(it);
  }
  WinapiCountObject(WinapiTypeObjects, -1);
}

void ToVariant(const ConstValue& value, VARIANT* out) {
  VariantInit(out);
  out->vt = value.vt;
  switch (value.vt) {
    case VT_BSTR:
      out->bstrVal = MakeBstr(value.text);
      break;
    case VT_BOOL:
      out->boolVal = value.integer ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VT_EMPTY:
      break;
    default:
      out->llVal = value.integer;  // the union's low bytes hold the narrower types
      break;
  }
}

// A function as a view presents it.
struct FuncView {
  const FuncData* data = nullptr;
  FUNCKIND funckind = FUNC_PUREVIRTUAL;
  TypeSpec result;
  size_t paramCount = 0;  // the leading parameters shown
};

FuncView ViewOf(const FuncData& f, bool dispatchOfDual) {
  FuncView v;
  v.data = &f;
  v.funckind = f.funckind;
  v.result = f.result;
  v.paramCount = f.params.size();
  if (!dispatchOfDual) return v;
  v.funckind = FUNC_DISPATCH;
  if (f.result.vt == VT_HRESULT) {
    if (!f.params.empty() && (f.params.back().flags & PARAMFLAG_FRETVAL) && f.params.back().type.inner) {
      v.result = *f.params.back().type.inner;
      v.paramCount = f.params.size() - 1;
    } else {
      v.result = TypeSpec();
      v.result.vt = VT_VOID;
    }
  }
  return v;
}

class TypeLibObject;

// ---------------------------------------------------------------------------
class TypeInfoObject final : public ITypeInfo2 {
 public:
  TypeInfoObject(TypeLibObject* lib, const TypeData* type, bool interfaceView);

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_ITypeInfo || riid == IID_ITypeInfo2) {
      *ppv = static_cast<ITypeInfo2*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override;

  // ITypeInfo
  STDMETHODIMP GetTypeAttr(TYPEATTR** ppTypeAttr) override;
  STDMETHODIMP GetTypeComp(ITypeComp** ppTComp) override {
    if (ppTComp) *ppTComp = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) override;
  STDMETHODIMP GetVarDesc(UINT index, VARDESC** ppVarDesc) override;
  STDMETHODIMP GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) override;
  STDMETHODIMP GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) override;
  STDMETHODIMP GetImplTypeFlags(UINT index, INT* pImplTypeFlags) override;
  STDMETHODIMP GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) override;
  STDMETHODIMP Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                      EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
  STDMETHODIMP GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                BSTR* pBstrHelpFile) override;
  STDMETHODIMP GetDllEntry(MEMBERID, INVOKEKIND, BSTR* pBstrDllName, BSTR* pBstrName, WORD* pwOrdinal) override {
    if (pBstrDllName) *pBstrDllName = nullptr;
    if (pBstrName) *pBstrName = nullptr;
    if (pwOrdinal) *pwOrdinal = 0;
    return TYPE_E_BADMODULEKIND;
  }
  STDMETHODIMP GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) override;
  STDMETHODIMP AddressOfMember(MEMBERID, INVOKEKIND, PVOID* ppv) override {
    if (ppv) *ppv = nullptr;
    return TYPE_E_BADMODULEKIND;
  }
  STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, PVOID* ppvObj) override {
    if (!ppvObj) return E_INVALIDARG;
    *ppvObj = nullptr;
    if (type_->kind != TKIND_COCLASS) return TYPE_E_WRONGTYPEKIND;
    return CoCreateInstance(type_->guid, pUnkOuter, CLSCTX_INPROC_SERVER, riid, ppvObj);
  }
  STDMETHODIMP GetMops(MEMBERID, BSTR* pBstrMops) override {
    if (!pBstrMops) return E_INVALIDARG;
    *pBstrMops = nullptr;
    return S_OK;
  }
  STDMETHODIMP GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) override;
  STDMETHODIMP_(void) ReleaseTypeAttr(TYPEATTR* pTypeAttr) override { ReleaseDesc(pTypeAttr); }
  STDMETHODIMP_(void) ReleaseFuncDesc(FUNCDESC* pFuncDesc) override { ReleaseDesc(pFuncDesc); }
  STDMETHODIMP_(void) ReleaseVarDesc(VARDESC* pVarDesc) override { ReleaseDesc(pVarDesc); }

  // ITypeInfo2
  STDMETHODIMP GetTypeKind(TYPEKIND* pTypeKind) override {
    if (!pTypeKind) return E_INVALIDARG;
    *pTypeKind = Kind();
    return S_OK;
  }
  STDMETHODIMP GetTypeFlags(ULONG* pTypeFlags) override {
    if (!pTypeFlags) return E_INVALIDARG;
    *pTypeFlags = type_->flags;
    return S_OK;
  }
  STDMETHODIMP GetFuncIndexOfMemId(MEMBERID memid, INVOKEKIND invKind, UINT* pFuncIndex) override {
    if (!pFuncIndex) return E_INVALIDARG;
    for (size_t i = 0; i < type_->funcs.size(); ++i) {
      if (type_->funcs[i].memid == memid && type_->funcs[i].invkind == invKind) {
        *pFuncIndex = static_cast<UINT>(i);
        return S_OK;
      }
    }
    return TYPE_E_ELEMENTNOTFOUND;
  }
  STDMETHODIMP GetVarIndexOfMemId(MEMBERID memid, UINT* pVarIndex) override {
    if (!pVarIndex) return E_INVALIDARG;
    for (size_t i = 0; i < type_->vars.size(); ++i) {
      if (type_->vars[i].memid == memid) {
        *pVarIndex = static_cast<UINT>(i);
        return S_OK;
      }
    }
    return TYPE_E_ELEMENTNOTFOUND;
  }
  // No custom data is kept: every lookup finds none.
  STDMETHODIMP GetCustData(REFGUID, VARIANT* pVarVal) override { return NoCustData(pVarVal); }
  STDMETHODIMP GetFuncCustData(UINT, REFGUID, VARIANT* pVarVal) override { return NoCustData(pVarVal); }
  STDMETHODIMP GetParamCustData(UINT, UINT, REFGUID, VARIANT* pVarVal) override { return NoCustData(pVarVal); }
  STDMETHODIMP GetVarCustData(UINT, REFGUID, VARIANT* pVarVal) override { return NoCustData(pVarVal); }
  STDMETHODIMP GetImplTypeCustData(UINT, REFGUID, VARIANT* pVarVal) override { return NoCustData(pVarVal); }
  STDMETHODIMP GetDocumentation2(MEMBERID memid, LCID, BSTR* pbstrHelpString, DWORD* pdwHelpStringContext,
                                 BSTR* pbstrHelpStringDll) override {
    if (pbstrHelpStringDll) *pbstrHelpStringDll = nullptr;
    if (pdwHelpStringContext) *pdwHelpStringContext = 0;
    return GetDocumentation(memid, nullptr, pbstrHelpString, nullptr, nullptr);
  }
  STDMETHODIMP GetAllCustData(CUSTDATA* p) override { return NoCustData(p); }
  STDMETHODIMP GetAllFuncCustData(UINT, CUSTDATA* p) override { return NoCustData(p); }
  STDMETHODIMP GetAllParamCustData(UINT, UINT, CUSTDATA* p) override { return NoCustData(p); }
  STDMETHODIMP GetAllVarCustData(UINT, CUSTDATA* p) override { return NoCustData(p); }
  STDMETHODIMP GetAllImplTypeCustData(UINT, CUSTDATA* p) override { return NoCustData(p); }

 private:
  ~TypeInfoObject();

  static HRESULT NoCustData(VARIANT* v) {
    if (!v) return E_INVALIDARG;
    VariantInit(v);
    return S_OK;
  }
  static HRESULT NoCustData(CUSTDATA* c) {
    if (!c) return E_INVALIDARG;
    c->cCustData = 0;
    c->prgCustData = nullptr;
    return S_OK;
  }

  bool IsDual() const { return type_->kind == TKIND_DISPATCH && (type_->flags & TYPEFLAG_FDUAL); }
  bool DispatchOfDual() const { return IsDual() && !interfaceView_; }
  TYPEKIND Kind() const { return interfaceView_ ? TKIND_INTERFACE : type_->kind; }
  std::vector<winapi::ImplData> Impls() const;
  const FuncData* FindFunc(MEMBERID memid, WORD invokeFlags, bool* memberExists) const;
  HRESULT CallThroughVtable(void* instance, const FuncData& f, DISPPARAMS* params, VARIANT* result,
                            EXCEPINFO* excepInfo, UINT* argErr);
  HRESULT ArgumentValue(VARIANT* arg, const TypeSpec& type, ULONGLONG* slot, int depth = 0);
  const LibraryData& Library() const;

  LONG refs_ = 1;
  TypeLibObject* lib_;
  const TypeData* type_;
  bool interfaceView_;
};

// ---------------------------------------------------------------------------
class TypeLibObject final : public ITypeLib {
 public:
  explicit TypeLibObject(std::shared_ptr<const LibraryData> data) : data_(std::move(data)) {
    WinapiCountObject(WinapiTypeObjects, 1);
  }

  const LibraryData& Data() const { return *data_; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_ITypeLib) {
      *ppv = static_cast<ITypeLib*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) {
      WinapiCountObject(WinapiTypeObjects, -1);
      delete this;
    }
    return static_cast<ULONG>(left);
  }

  // ITypeLib
  STDMETHODIMP_(UINT) GetTypeInfoCount() override { return static_cast<UINT>(data_->types.size()); }
  STDMETHODIMP GetTypeInfo(UINT index, ITypeInfo** ppTInfo) override {
    if (!ppTInfo) return E_INVALIDARG;
    *ppTInfo = nullptr;
    if (index >= data_->types.size()) return TYPE_E_ELEMENTNOTFOUND;
    *ppTInfo = new TypeInfoObject(this, &data_->types[index], false);
    return S_OK;
  }
  STDMETHODIMP GetTypeInfoType(UINT index, TYPEKIND* pTKind) override {
    if (!pTKind) return E_INVALIDARG;
    if (index >= data_->types.size()) return TYPE_E_ELEMENTNOTFOUND;
    *pTKind = data_->types[index].kind;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) override {
    if (!ppTinfo) return E_INVALIDARG;
    *ppTinfo = nullptr;
    for (const TypeData& t : data_->types) {
      if (t.guid == guid) {
        *ppTinfo = new TypeInfoObject(this, &t, false);
        return S_OK;
      }
    }
    return TYPE_E_ELEMENTNOTFOUND;
  }
  STDMETHODIMP GetLibAttr(TLIBATTR** ppTLibAttr) override {
    if (!ppTLibAttr) return E_INVALIDARG;
    auto block = std::make_unique<DescBlock>();
    block->libAttr = std::make_unique<TLIBATTR>();
    TLIBATTR* attr = block->libAttr.get();
    attr->guid = data_->guid;
    attr->lcid = data_->lcid;
    attr->syskind = data_->syskind;
    attr->wMajorVerNum = data_->major;
    attr->wMinorVerNum = data_->minor;
    attr->wLibFlags = data_->flags;
    KeepDesc(attr, std::move(block));
    *ppTLibAttr = attr;
    return S_OK;
  }
  STDMETHODIMP GetTypeComp(ITypeComp** ppTComp) override {
    if (ppTComp) *ppTComp = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                BSTR* pBstrHelpFile) override {
    const std::u16string* name = &data_->name;
    const std::u16string* doc = &data_->doc;
    DWORD context = data_->helpContext;
    if (index != -1) {
      if (index < 0 || static_cast<size_t>(index) >= data_->types.size()) return TYPE_E_ELEMENTNOTFOUND;
      const TypeData& t = data_->types[static_cast<size_t>(index)];
      name = &t.name;
      doc = &t.doc;
      context = t.helpContext;
    }
    if (pBstrName) *pBstrName = MakeBstr(*name);
    SetOptionalBstr(pBstrDocString, *doc);
    if (pdwHelpContext) *pdwHelpContext = context;
    SetOptionalBstr(pBstrHelpFile, data_->helpFile);
    return S_OK;
  }
  STDMETHODIMP IsName(LPOLESTR szNameBuf, ULONG, BOOL* pfName) override {
    if (!szNameBuf || !pfName) return E_INVALIDARG;
    *pfName = FALSE;
    auto match = [&](const std::u16string& name) {
      if (*pfName || lstrcmpiW(name.c_str(), szNameBuf) != 0) return;
      std::memcpy(szNameBuf, name.c_str(), name.size() * sizeof(OLECHAR));  // the stored spelling
      *pfName = TRUE;
    };
    for (const TypeData& t : data_->types) {
      match(t.name);
      for (const FuncData& f : t.funcs) {
        match(f.name);
        for (const ParamData& p : f.params) match(p.name);
      }
      for (const VarData& v : t.vars) match(v.name);
    }
    return S_OK;
  }
  STDMETHODIMP FindName(LPOLESTR szNameBuf, ULONG, ITypeInfo** ppTInfo, MEMBERID* rgMemId,
                        USHORT* pcFound) override {
    if (!szNameBuf || !ppTInfo || !rgMemId || !pcFound) return E_INVALIDARG;
    const USHORT wanted = *pcFound;
    USHORT found = 0;
    for (const TypeData& t : data_->types) {
      if (found >= wanted) break;
      MEMBERID memid = MEMBERID_NIL;
      bool hit = lstrcmpiW(t.name.c_str(), szNameBuf) == 0;
      for (const FuncData& f : t.funcs) {
        if (!hit && lstrcmpiW(f.name.c_str(), szNameBuf) == 0) {
          hit = true;
          memid = f.memid;
        }
      }
      for (const VarData& v : t.vars) {
        if (!hit && lstrcmpiW(v.name.c_str(), szNameBuf) == 0) {
          hit = true;
          memid = v.memid;
        }
      }
      if (!hit) continue;
      ppTInfo[found] = new TypeInfoObject(this, &t, false);
      rgMemId[found] = memid;
      ++found;
    }
    *pcFound = found;
    return S_OK;
  }
  STDMETHODIMP_(void) ReleaseTLibAttr(TLIBATTR* pTLibAttr) override { ReleaseDesc(pTLibAttr); }

 private:
  ~TypeLibObject() = default;

  LONG refs_ = 1;
  std::shared_ptr<const LibraryData> data_;
};

// ---------------------------------------------------------------------------
TypeInfoObject::TypeInfoObject(TypeLibObject* lib, const TypeData* type, bool interfaceView)
    : lib_(lib), type_(type), interfaceView_(interfaceView) {
  lib_->AddRef();
  WinapiCountObject(WinapiTypeObjects, 1);
}

TypeInfoObject::~TypeInfoObject() { lib_->Release(); }

STDMETHODIMP_(ULONG) TypeInfoObject::Release() {
  const LONG left = InterlockedDecrement(&refs_);
  if (left == 0) {
    WinapiCountObject(WinapiTypeObjects, -1);
    delete this;
  }
  return static_cast<ULONG>(left);
}

const LibraryData& TypeInfoObject::Library() const { return lib_->Data(); }

// The dispatch view of a dual interface derives from IDispatch; its interface
// view from the base the file names.
std::vector<winapi::ImplData> TypeInfoObject::Impls() const {
  if (DispatchOfDual() && Library().dispatchHref >= 0) {
    return {winapi::ImplData{static_cast<HREFTYPE>(Library().dispatchHref), 0}};
  }
  return type_->impls;
}

STDMETHODIMP TypeInfoObject::GetTypeAttr(TYPEATTR** ppTypeAttr) {
  if (!ppTypeAttr) return E_INVALIDARG;
  *ppTypeAttr = nullptr;
  auto block = std::make_unique<DescBlock>();
  block->attr = std::make_unique<TYPEATTR>();
  TYPEATTR* a = block->attr.get();
  std::memset(a, 0, sizeof(*a));
  a->guid = type_->guid;
  a->lcid = Library().lcid;
  a->memidConstructor = MEMBERID_NIL;
  a->memidDestructor = MEMBERID_NIL;
  a->typekind = Kind();
  const bool pointerSized = a->typekind == TKIND_INTERFACE || a->typekind == TKIND_DISPATCH ||
                            a->typekind == TKIND_COCLASS;
  a->cbSizeInstance = pointerSized ? sizeof(void*) : type_->size;
  a->cbAlignment = pointerSized ? sizeof(void*) : type_->alignment;
  a->cFuncs = static_cast<WORD>(type_->funcs.size());
  a->cVars = static_cast<WORD>(type_->vars.size());
  a->cImplTypes = static_cast<WORD>(Impls().size());
  if (a->typekind == TKIND_DISPATCH) {
    a->cbSizeVft = kDispatchSlots * sizeof(void*);
  } else if (a->typekind == TKIND_INTERFACE) {
    a->cbSizeVft = static_cast<WORD>(type_->vtableSlots * sizeof(void*));
  }
  a->wTypeFlags = type_->flags;
  a->wMajorVerNum = type_->major;
  a->wMinorVerNum = type_->minor;
  if (type_->kind == TKIND_ALIAS) block->Fill(type_->alias, &a->tdescAlias);
  KeepDesc(a, std::move(block));
  *ppTypeAttr = a;
  return S_OK;
}

STDMETHODIMP TypeInfoObject::GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) {
  if (!ppFuncDesc) return E_INVALIDARG;
  *ppFuncDesc = nullptr;
  if (index >= type_->funcs.size()) return TYPE_E_ELEMENTNOTFOUND;
  const FuncView view = ViewOf(type_->funcs[index], DispatchOfDual());
  const FuncData& f = *view.data;
  auto block = std::make_unique<DescBlock>();
  block->func = std::make_unique<FUNCDESC>();
  FUNCDESC* d = block->func.get();
  std::memset(d, 0, sizeof(*d));
  d->memid = f.memid;
  d->funckind = view.funckind;
  d->invkind = f.invkind;
  d->callconv = f.callconv;
  d->cParams = static_cast<SHORT>(view.paramCount);
  d->cParamsOpt = f.cParamsOpt;
  d->oVft = static_cast<SHORT>(f.vtableIndex * sizeof(void*));
  d->wFuncFlags = f.flags;
  block->Fill(view.result, &d->elemdescFunc.tdesc);
  if (view.paramCount > 0) {
    block->params = std::make_unique<ELEMDESC[]>(view.paramCount);
    for (size_t i = 0; i < view.paramCount; ++i) {
      const ParamData& p = f.params[i];
      ELEMDESC* e = &block->params[i];
      std::memset(e, 0, sizeof(*e));
      block->Fill(p.type, &e->tdesc);
      e->paramdesc.wParamFlags = p.flags;
      if ((p.flags & PARAMFLAG_FHASDEFAULT) && p.defaultValue.vt != VT_EMPTY) {
        auto ex = std::make_unique<PARAMDESCEX>();
        ex->cBytes = sizeof(PARAMDESCEX);
        ToVariant(p.defaultValue, &ex->varDefaultValue);
        e->paramdesc.pparamdescex = ex.get();
        block->defaults.push_back(std::move(ex));
      }
    }
    d->lprgelemdescParam = block->params.get();
  }
  KeepDesc(d, std::move(block));
  *ppFuncDesc = d;
  return S_OK;
}

STDMETHODIMP TypeInfoObject::GetVarDesc(UINT index, VARDESC** ppVarDesc) {
  if (!ppVarDesc) return E_INVALIDARG;
  *ppVarDesc = nullptr;
  if (index >= type_->vars.size()) return TYPE_E_ELEMENTNOTFOUND;
  const VarData& v = type_->vars[index];
  auto block = std::make_unique<DescBlock>();
  block->var = std::make_unique<VARDESC>();
  VARDESC* d = block->var.get();
  std::memset(d, 0, sizeof(*d));
  d->memid = v.memid;
  d->varkind = v.varkind;
  d->wVarFlags = v.flags;
  block->Fill(v.type, &d->elemdescVar.tdesc);
  if (v.varkind == VAR_CONST) {
    block->constValue = std::make_unique<VARIANT>();
    ToVariant(v.value, block->constValue.get());
    d->lpvarValue = block->constValue.get();
  } else {
    d->oInst = v.offset;
  }
  KeepDesc(d, std::move(block));
  *ppVarDesc = d;
  return S_OK;
}

STDMETHODIMP TypeInfoObject::GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) {
  if (!rgBstrNames || !pcNames) return E_INVALIDARG;
  *pcNames = 0;
  for (const FuncData& f : type_->funcs) {
    if (f.memid != memid) continue;
    const FuncView view = ViewOf(f, DispatchOfDual());
    UINT n = 0;
    if (n < cMaxNames) rgBstrNames[n++] = MakeBstr(f.name);
    for (size_t i = 0; i < view.paramCount && n < cMaxNames; ++i) rgBstrNames[n++] = MakeBstr(f.params[i].name);
    *pcNames = n;
    return S_OK;
  }
  for (const VarData& v : type_->vars) {
    if (v.memid != memid) continue;
    if (cMaxNames > 0) {
      rgBstrNames[0] = MakeBstr(v.name);
      *pcNames = 1;
    }
    return S_OK;
  }
  return TYPE_E_ELEMENTNOTFOUND;
}

STDMETHODIMP TypeInfoObject::GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) {
  if (!pRefType) return E_INVALIDARG;
  if (index == static_cast<UINT>(-1)) {
    if (!DispatchOfDual()) return TYPE_E_ELEMENTNOTFOUND;
    *pRefType = type_->href | kInterfaceViewBit;
    return S_OK;
  }
  const std::vector<winapi::ImplData> impls = Impls();
  if (index >= impls.size()) return TYPE_E_ELEMENTNOTFOUND;
  *pRefType = impls[index].href;
  return S_OK;
}

STDMETHODIMP TypeInfoObject::GetImplTypeFlags(UINT index, INT* pImplTypeFlags) {
  if (!pImplTypeFlags) return E_INVALIDARG;
  *pImplTypeFlags = 0;
  const std::vector<winapi::ImplData> impls = Impls();
  if (index >= impls.size()) return TYPE_E_ELEMENTNOTFOUND;
  *pImplTypeFlags = impls[index].flags;
  return S_OK;
}

STDMETHODIMP TypeInfoObject::GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) {
  if (!ppTInfo) return E_INVALIDARG;
  *ppTInfo = nullptr;
  if (hRefType & 1) {
    const ImportData* imp = Library().ImportAt(hRefType);
    if (!imp) return TYPE_E_ELEMENTNOTFOUND;
    // The library that defines the type, as registered, or else by its file name.
    ITypeLib* other = nullptr;
    HRESULT hr = LoadRegTypeLib(imp->libraryGuid, imp->major, imp->minor, imp->lcid, &other);
    if (FAILED(hr)) {
      const HRESULT byName = LoadTypeLib(imp->file.c_str(), &other);
      if (FAILED(byName)) return hr;
    }
    hr = imp->byGuid ? other->GetTypeInfoOfGuid(imp->typeGuid, ppTInfo) : other->GetTypeInfo(imp->typeIndex, ppTInfo);
    other->Release();
    return hr;
  }
  const bool interfaceView = (hRefType & kInterfaceViewBit) != 0;
  const TypeData* target = Library().TypeAt(hRefType & ~kInterfaceViewBit);
  if (!target) return TYPE_E_ELEMENTNOTFOUND;
  if (interfaceView && !(target->kind == TKIND_DISPATCH && (target->flags & TYPEFLAG_FDUAL))) {
    return TYPE_E_ELEMENTNOTFOUND;
  }
  *ppTInfo = new TypeInfoObject(lib_, target, interfaceView);
  return S_OK;
}

STDMETHODIMP TypeInfoObject::GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                              DWORD* pdwHelpContext, BSTR* pBstrHelpFile) {
  const std::u16string* name = nullptr;
  const std::u16string* doc = nullptr;
  DWORD context = 0;
  if (memid == MEMBERID_NIL) {
    name = &type_->name;
    doc = &type_->doc;
    context = type_->helpContext;
  } else {
    for (const FuncData& f : type_->funcs) {
      if (!name && f.memid == memid) {
        name = &f.name;
        doc = &f.doc;
        context = f.helpContext;
      }
    }
    for (const VarData& v : type_->vars) {
      if (!name && v.memid == memid) {
        name = &v.name;
        doc = &v.doc;
        context = v.helpContext;
      }
    }
    if (!name) return TYPE_E_ELEMENTNOTFOUND;
  }
  if (pBstrName) *pBstrName = MakeBstr(*name);
  SetOptionalBstr(pBstrDocString, *doc);
  if (pdwHelpContext) *pdwHelpContext = context;
  SetOptionalBstr(pBstrHelpFile, Library().helpFile);
  return S_OK;
}

STDMETHODIMP TypeInfoObject::GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) {
  if (pIndex) *pIndex = type_->index;
  if (ppTLib) {
    *ppTLib = lib_;
    lib_->AddRef();
  }
  return S_OK;
}

// Member names are matched without regard to case; the other names are those
// of the member's parameters, whose ids are their positions. A name the type
// does not have is looked for in the interface it derives from.
STDMETHODIMP TypeInfoObject::GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) {
  if (!rgszNames || !pMemId || cNames == 0) return E_INVALIDARG;
  for (UINT i = 0; i < cNames; ++i) pMemId[i] = DISPID_UNKNOWN;
  if (!rgszNames[0]) return E_INVALIDARG;
  for (const FuncData& f : type_->funcs) {
    if (lstrcmpiW(f.name.c_str(), rgszNames[0]) != 0) continue;
    const FuncView view = ViewOf(f, DispatchOfDual());
    pMemId[0] = f.memid;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < cNames; ++i) {
      for (size_t p = 0; p < view.paramCount && rgszNames[i]; ++p) {
        if (lstrcmpiW(f.params[p].name.c_str(), rgszNames[i]) == 0) pMemId[i] = static_cast<MEMBERID>(p);
      }
      if (pMemId[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  for (const VarData& v : type_->vars) {
    if (lstrcmpiW(v.name.c_str(), rgszNames[0]) != 0) continue;
    pMemId[0] = v.memid;
    return cNames > 1 ? DISP_E_UNKNOWNNAME : S_OK;
  }
  const std::vector<winapi::ImplData> impls = Impls();
  if ((Kind() == TKIND_INTERFACE || Kind() == TKIND_DISPATCH) && !impls.empty()) {
    ITypeInfo* base = nullptr;
    if (SUCCEEDED(GetRefTypeInfo(impls[0].href, &base))) {
      const HRESULT hr = base->GetIDsOfNames(rgszNames, cNames, pMemId);
      base->Release();
      return hr;
    }
  }
  return DISP_E_UNKNOWNNAME;
}

// ---------------------------------------------------------------------------
// Invoke. A dispatch-only interface is invoked through the object's own
// IDispatch; an interface or a dual one through its vtable, the arguments
// converted to the parameter types and passed as the native calling
// convention passes integers and pointers.
const FuncData* TypeInfoObject::FindFunc(MEMBERID memid, WORD invokeFlags, bool* memberExists) const {
  *memberExists = false;
  for (const FuncData& f : type_->funcs) {
    if (f.memid != memid) continue;
    *memberExists = true;
    if (f.invkind & invokeFlags) return &f;
  }
  return nullptr;
}

bool IsIntegerType(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_BOOL:
    case VT_ERROR:
    case VT_HRESULT:
      return true;
    default:
      return false;
  }
}

// The number an argument holds, from the integer, Boolean, floating-point or
// numeric-text VARIANT types.
HRESULT ArgumentNumber(const VARIANT& arg, LONGLONG* out) {
  const bool byRef = (arg.vt & VT_BYREF) != 0;
  const VARTYPE vt = static_cast<VARTYPE>(arg.vt & ~VT_BYREF);
  if (byRef && !arg.byref) return E_INVALIDARG;
  const void* p = byRef ? arg.byref : static_cast<const void*>(&arg.llVal);
  switch (vt) {
    case VT_EMPTY:
      *out = 0;
      return S_OK;
    case VT_I1:
      *out = *static_cast<const CHAR*>(p);
      return S_OK;
    case VT_UI1:
      *out = *static_cast<const BYTE*>(p);
      return S_OK;
    case VT_I2:
    case VT_BOOL:
      *out = *static_cast<const SHORT*>(p);
      return S_OK;
    case VT_UI2:
      *out = *static_cast<const USHORT*>(p);
      return S_OK;
    case VT_I4:
    case VT_INT:
    case VT_ERROR:
    case VT_HRESULT:
      *out = *static_cast<const LONG*>(p);
      return S_OK;
    case VT_UI4:
    case VT_UINT:
      *out = *static_cast<const ULONG*>(p);
      return S_OK;
    case VT_I8:
    case VT_UI8:
      *out = *static_cast<const LONGLONG*>(p);
      return S_OK;
    case VT_R4:
    case VT_R8: {
      const double d = vt == VT_R4 ? *static_cast<const FLOAT*>(p) : *static_cast<const DOUBLE*>(p);
      if (!(d >= -9.2e18 && d <= 9.2e18)) return DISP_E_OVERFLOW;
      *out = static_cast<LONGLONG>(std::nearbyint(d));  // to nearest, ties to even
      return S_OK;
    }
    case VT_BSTR: {
      const OLECHAR* s = *static_cast<const BSTR*>(p);
      if (!s) return DISP_E_TYPEMISMATCH;
      while (*s == u' ') ++s;
      const bool negative = *s == u'-';
      if (*s == u'-' || *s == u'+') ++s;
      if (*s < u'0' || *s > u'9') return DISP_E_TYPEMISMATCH;
      LONGLONG value = 0;
      for (; *s >= u'0' && *s <= u'9'; ++s) {
        value = value * 10 + (*s - u'0');
        if (value > 0xFFFFFFFFLL) return DISP_E_OVERFLOW;
      }
      while (*s == u' ') ++s;
      if (*s) return DISP_E_TYPEMISMATCH;
      *out = negative ? -value : value;
      return S_OK;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT TypeInfoObject::ArgumentValue(VARIANT* arg, const TypeSpec& type, ULONGLONG* slot, int depth) {
  *slot = 0;
  // A reference to a VARIANT stands for the VARIANT, unless the parameter
  // takes a VARIANT* itself.
  const bool wantsVariantPointer = type.vt == VT_PTR && type.inner && type.inner->vt == VT_VARIANT;
  if (arg->vt == (VT_BYREF | VT_VARIANT) && !wantsVariantPointer) {
    if (!arg->pvarVal || depth > 8) return DISP_E_TYPEMISMATCH;
    return ArgumentValue(arg->pvarVal, type, slot, depth + 1);
  }
  const VARTYPE vt = static_cast<VARTYPE>(arg->vt & ~VT_BYREF);
  const bool byRef = (arg->vt & VT_BYREF) != 0;
  if (IsIntegerType(type.vt)) {
    LONGLONG n = 0;
    const HRESULT hr = ArgumentNumber(*arg, &n);
    if (FAILED(hr)) return hr;
    LONGLONG low = -2147483648LL, high = 0xFFFFFFFFLL;
    switch (type.vt) {
      case VT_I1: low = -128, high = 127; break;
      case VT_UI1: low = 0, high = 255; break;
      case VT_I2: low = -32768, high = 32767; break;
      case VT_UI2: low = 0, high = 65535; break;
      case VT_I4:
      case VT_INT:
      case VT_ERROR:
      case VT_HRESULT: high = 2147483647LL; break;
      case VT_UI4:
      case VT_UINT: low = 0; break;
      case VT_BOOL: n = n ? VARIANT_TRUE : VARIANT_FALSE; break;
      default: low = INT64_MIN, high = INT64_MAX; break;
    }
    if (n < low || n > high) return DISP_E_OVERFLOW;
    *slot = static_cast<ULONGLONG>(n);
    return S_OK;
  }
  switch (type.vt) {
    case VT_BSTR:
      if (vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
      *slot = reinterpret_cast<ULONG_PTR>(byRef ? *static_cast<BSTR*>(arg->byref) : arg->bstrVal);
      return S_OK;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      if (vt == VT_EMPTY) return S_OK;
      if (vt != VT_DISPATCH && vt != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
      *slot = reinterpret_cast<ULONG_PTR>(byRef ? *static_cast<IUnknown**>(arg->byref) : arg->punkVal);
      return S_OK;
    case VT_PTR: {
      const TypeSpec* inner = type.inner.get();
      if (!inner) return DISP_E_BADVARTYPE;
      if (inner->vt == VT_VARIANT) {
        *slot = reinterpret_cast<ULONG_PTR>(arg->vt == (VT_BYREF | VT_VARIANT) ? arg->pvarVal : arg);
        return S_OK;
      }
      if (inner->vt == VT_USERDEFINED || inner->vt == VT_PTR) {
        // A pointer to an interface pointer or to an enumeration: the caller's
        // by-reference argument as it is.
        if (!byRef) return DISP_E_TYPEMISMATCH;
        *slot = reinterpret_cast<ULONG_PTR>(arg->byref);
        return S_OK;
      }
      if (!byRef || vt != inner->vt) return DISP_E_TYPEMISMATCH;
      *slot = reinterpret_cast<ULONG_PTR>(arg->byref);
      return S_OK;
    }
    case VT_USERDEFINED: {
      const TypeData* target = Library().TypeAt(type.href);
      if (!target || depth > 8) return DISP_E_BADVARTYPE;
      if (target->kind == TKIND_ENUM) {
        TypeSpec asLong;
        asLong.vt = VT_I4;
        return ArgumentValue(arg, asLong, slot, depth + 1);
      }
      if (target->kind == TKIND_ALIAS) return ArgumentValue(arg, target->alias, slot, depth + 1);
      return DISP_E_BADVARTYPE;
    }
    default:
      return DISP_E_BADVARTYPE;  // by-value VARIANTs, floating point, currency...
  }
}

// The VARIANT type of a value the callee wrote: interfaces and enumerations
// are reported as the automation types they stand for.
VARTYPE ResultType(const LibraryData& lib, const TypeSpec& type) {
  if (type.vt == VT_USERDEFINED) {
    const TypeData* target = lib.TypeAt(type.href);
    if (target && target->kind == TKIND_ENUM) return VT_I4;
    if (target && target->kind == TKIND_ALIAS) return ResultType(lib, target->alias);
    return VT_UNKNOWN;
  }
  if (type.vt == VT_PTR && type.inner && type.inner->vt == VT_USERDEFINED) {
    const TypeData* target = lib.TypeAt(type.inner->href);
    if (target && target->kind == TKIND_DISPATCH) return VT_DISPATCH;
    return VT_UNKNOWN;
  }
  if (type.vt == VT_INT) return VT_I4;
  if (type.vt == VT_UINT) return VT_UI4;
  return type.vt;
}

// How many argument words a value of the type takes on the stack: two for a
// 64-bit integer where words are 32 bits, otherwise one.
size_t ArgumentWords(const LibraryData& lib, const TypeSpec& type, int depth = 0) {
  if (sizeof(uintptr_t) >= sizeof(ULONGLONG)) return 1;
  if (type.vt == VT_I8 || type.vt == VT_UI8) return 2;
  if (type.vt == VT_USERDEFINED && depth < 8) {
    const TypeData* target = lib.TypeAt(type.href);
    if (target && target->kind == TKIND_ALIAS) return ArgumentWords(lib, target->alias, depth + 1);
  }
  return 1;
}

constexpr size_t kMaxCallArguments = 12;

HRESULT TypeInfoObject::CallThroughVtable(void* instance, const FuncData& f, DISPPARAMS* params, VARIANT* result,
                                          EXCEPINFO* excepInfo, UINT* argErr) {
  const size_t count = f.params.size();
  if (count > kMaxCallArguments) return DISP_E_BADCALLEE;
  const bool hasRetval = count > 0 && (f.params.back().flags & PARAMFLAG_FRETVAL) && f.result.vt == VT_HRESULT;

  // Which VARIANT feeds which parameter: named ones first (their ids are the
  // parameters' positions, DISPID_PROPERTYPUT the value of a property put),
  // then the positional ones, last argument first in rgvarg.
  std::vector<size_t> visible;
  for (size_t i = 0; i < count; ++i) {
    if (hasRetval && i == count - 1) continue;
    if (f.params[i].flags & PARAMFLAG_FLCID) continue;
    visible.push_back(i);
  }
  std::vector<VARIANT*> supplied(count, nullptr);
  std::vector<UINT> argIndex(count, 0);
  const UINT positional = params->cArgs - params->cNamedArgs;
  for (UINT k = 0; k < params->cNamedArgs; ++k) {
    const DISPID id = params->rgdispidNamedArgs[k];
    size_t target = count;
    if (id == DISPID_PROPERTYPUT && (f.invkind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF)) && !visible.empty()) {
      target = visible.back();
    } else if (id >= 0 && static_cast<size_t>(id) < count) {
      for (size_t v : visible) {
        if (v == static_cast<size_t>(id)) target = v;
      }
    }
    if (target == count) {
      if (argErr) *argErr = k;
      return DISP_E_PARAMNOTFOUND;
    }
    supplied[target] = &params->rgvarg[k];
    argIndex[target] = k;
  }
  if (positional > visible.size()) return DISP_E_BADPARAMCOUNT;
  for (UINT i = 0; i < positional; ++i) {
    const size_t target = visible[i];
    const UINT at = params->cArgs - 1 - i;
    if (supplied[target]) {
      if (argErr) *argErr = at;
      return DISP_E_PARAMNOTFOUND;
    }
    supplied[target] = &params->rgvarg[at];
    argIndex[target] = at;
  }

  std::vector<VARIANT> defaults;
  defaults.reserve(count);
  struct ClearDefaults {
    std::vector<VARIANT>* values;
    ~ClearDefaults() {
      for (VARIANT& v : *values) VariantClear(&v);
    }
  } clearDefaults{&defaults};

  // The call's argument words: the object, then each parameter in order. The
  // result a callee writes through its retval pointer lands in retvalBits,
  // room enough for any value a VARIANT holds.
  std::vector<uintptr_t> words{reinterpret_cast<uintptr_t>(instance)};
  ULONGLONG retvalBits[2] = {};
  VARIANT retvalVariant;
  VariantInit(&retvalVariant);
  const TypeSpec* retvalType = hasRetval ? f.params.back().type.inner.get() : nullptr;
  for (size_t i = 0; i < count; ++i) {
    const ParamData& p = f.params[i];
    if (hasRetval && i == count - 1) {
      words.push_back(retvalType && retvalType->vt == VT_VARIANT ? reinterpret_cast<uintptr_t>(&retvalVariant)
                                                                 : reinterpret_cast<uintptr_t>(retvalBits));
      continue;
    }
    ULONGLONG value = 0;  // an LCID, or an omitted optional argument, is zero
    VARIANT* arg = (p.flags & PARAMFLAG_FLCID) ? nullptr : supplied[i];
    if (!arg && !(p.flags & PARAMFLAG_FLCID)) {
      if (!(p.flags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT))) return DISP_E_BADPARAMCOUNT;
      if (p.defaultValue.vt != VT_EMPTY) {
        defaults.emplace_back();
        ToVariant(p.defaultValue, &defaults.back());
        arg = &defaults.back();
      }
    }
    if (arg) {
      const HRESULT hr = ArgumentValue(arg, p.type, &value);
      if (FAILED(hr)) {
        if (argErr && supplied[i]) *argErr = argIndex[i];
        return hr;
      }
    }
    words.push_back(static_cast<uintptr_t>(value));
    if (ArgumentWords(Library(), p.type) == 2) words.push_back(static_cast<uintptr_t>(value >> 32));
  }

  void** vtable = *static_cast<void***>(instance);
  uint64_t returned = winapi_stdcall_call(vtable[f.vtableIndex], words.data(), words.size());
  if (ArgumentWords(Library(), f.result) == 1) returned = static_cast<uintptr_t>(returned);

  VARIANT value;
  VariantInit(&value);
  if (f.result.vt == VT_HRESULT) {
    const HRESULT hr = static_cast<HRESULT>(static_cast<DWORD>(returned));
    if (FAILED(hr)) {
      if (excepInfo) {
        std::memset(excepInfo, 0, sizeof(*excepInfo));
        excepInfo->scode = hr;
      }
      return DISP_E_EXCEPTION;
    }
    if (hasRetval && retvalType) {
      if (retvalType->vt == VT_VARIANT) {
        value = retvalVariant;
      } else {
        value.vt = ResultType(Library(), *retvalType);
        std::memcpy(&value.llVal, retvalBits, sizeof(value.llVal));
      }
    }
  } else if (f.result.vt != VT_VOID) {
    value.vt = ResultType(Library(), f.result);
    std::memcpy(&value.llVal, &returned, sizeof(value.llVal));
  }
  if (result) {
    *result = value;
  } else {
    VariantClear(&value);
  }
  return S_OK;
}

STDMETHODIMP TypeInfoObject::Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                                    VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  if (!pvInstance || !pDispParams) return E_INVALIDARG;
  if (pDispParams->cNamedArgs > pDispParams->cArgs) return E_INVALIDARG;
  if (pDispParams->cArgs > 0 && !pDispParams->rgvarg) return E_INVALIDARG;
  if (pDispParams->cNamedArgs > 0 && !pDispParams->rgdispidNamedArgs) return E_INVALIDARG;
  if (type_->kind == TKIND_DISPATCH && !IsDual()) {
    return static_cast<IDispatch*>(pvInstance)->Invoke(memid, IID_NULL, 0, wFlags, pDispParams, pVarResult,
                                                      pExcepInfo, puArgErr);
  }
  if (Kind() != TKIND_INTERFACE && Kind() != TKIND_DISPATCH) return TYPE_E_WRONGTYPEKIND;
  bool exists = false;
  const FuncData* f = FindFunc(memid, wFlags, &exists);
  if (!f) return DISP_E_MEMBERNOTFOUND;
  return CallThroughVtable(pvInstance, *f, pDispParams, pVarResult, pExcepInfo, puArgErr);
}

// ---------------------------------------------------------------------------
// Loading.
bool ReadFile(const std::string& path, std::vector<BYTE>* out) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  out->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return true;
}

// The TYPELIB resource `id` of a module file; false when it is no module or
// has no such resource.
bool ReadModuleTypeLib(const std::string& path, WORD id, std::vector<BYTE>* out) {
  HMODULE module = LoadLibraryExW(winapi::Widen(path.c_str()).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return false;
  bool found = false;
  if (HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(id), "TYPELIB")) {
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, info)));
    const DWORD size = SizeofResource(module, info);
    if (data) {
      out->assign(data, data + size);
      found = true;
    }
  }
  FreeLibrary(module);
  return found;
}

HRESULT LoadFromBytes(const std::vector<BYTE>& bytes, ITypeLib** out) {
  auto data = std::make_shared<LibraryData>();
  switch (winapi::ParseTypeLibrary(bytes.data(), bytes.size(), data.get())) {
    case winapi::ParseResult::Ok:
      break;
    case winapi::ParseResult::NotTypeLibrary:
      return TYPE_E_CANTLOADLIBRARY;
    case winapi::ParseResult::Corrupt:
      return TYPE_E_INVDATAREAD;
  }
  *out = new TypeLibObject(std::move(data));
  return S_OK;
}

}  // namespace

STDAPI LoadTypeLibEx(LPCOLESTR szFile, REGKIND regkind, ITypeLib** pptlib) {
  if (!pptlib) return E_INVALIDARG;
  *pptlib = nullptr;
  if (!szFile) return E_INVALIDARG;
  std::string path = winapi::Narrow(szFile);
  std::vector<BYTE> bytes;
  WORD resourceId = 1;
  bool loaded = false;
  if (ReadFile(path, &bytes)) {
    loaded = bytes.size() >= 4 && std::memcmp(bytes.data(), "MSFT", 4) == 0;
    if (!loaded) loaded = ReadModuleTypeLib(path, resourceId, &bytes);
  } else {
    // "module\N" names the module's TYPELIB resource N.
    const size_t slash = path.rfind('\\');
    if (slash != std::string::npos && slash + 1 < path.size() &&
        path.find_first_not_of("0123456789", slash + 1) == std::string::npos && path.size() - slash <= 6) {
      const unsigned long id = std::strtoul(path.c_str() + slash + 1, nullptr, 10);
      if (id > 0 && id <= 0xFFFF) {
        resourceId = static_cast<WORD>(id);
        path.resize(slash);
        loaded = ReadModuleTypeLib(path, resourceId, &bytes);
      }
    }
  }
  if (!loaded) return TYPE_E_CANTLOADLIBRARY;
  const HRESULT hr = LoadFromBytes(bytes, pptlib);
  if (FAILED(hr) || regkind != REGKIND_REGISTER) return hr;
  const HRESULT registered = RegisterTypeLib(*pptlib, szFile, nullptr);
  if (FAILED(registered)) {
    (*pptlib)->Release();
    *pptlib = nullptr;
  }
  return registered;
}

STDAPI LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib) { return LoadTypeLibEx(szFile, REGKIND_NONE, pptlib); }
