// Reader of the binary type library format ("MSFT"). The file is a header,
// the offsets of its type records, and a directory of segments (types, import
// entries, import files, reference lists, GUIDs, names, strings, type
// descriptions, array descriptions, custom data); names and strings are
// counted ANSI text, padded to four bytes.
#include "typelib_format.h"

#include <cstring>

#include "internal.h"

namespace winapi {

namespace {

enum Segment {
  kTypeInfos = 0,
  kImportInfos = 1,
  kImportFiles = 2,
  kReferences = 3,
  kGuids = 5,
  kNames = 7,
  kStrings = 8,
  kTypeDescs = 9,
  kArrayDescs = 10,
  kCustomData = 11,
  kSegmentCount = 15
};

constexpr DWORD kMagic = 0x5446534D;  // "MSFT"
constexpr size_t kHeaderSize = 0x54;
constexpr size_t kTypeRecordSize = 0x64;

struct SegmentRange {
  size_t offset = 0;
  size_t length = 0;
  bool present = false;
};

class Reader {
 public:
  Reader(const BYTE* data, size_t size) : data_(data), size_(size) {}

  bool Fits(size_t at, size_t bytes) const { return at <= size_ && bytes <= size_ - at; }

  bool Int(size_t at, LONG* out) {
    if (!Fits(at, 4)) return Fail();
    std::memcpy(out, data_ + at, 4);
    return true;
  }
  LONG Int(size_t at) {
    LONG v = 0;
    Int(at, &v);
    return v;
  }
  SHORT Short(size_t at) {
    SHORT v = 0;
    if (!Fits(at, 2)) {
      Fail();
      return 0;
    }
    std::memcpy(&v, data_ + at, 2);
    return v;
  }
  bool Bytes(size_t at, size_t n, const BYTE** out) {
    if (!Fits(at, n)) return Fail();
    *out = data_ + at;
    return true;
  }
  bool Fail() {
    ok_ = false;
    return false;
  }
  bool ok() const { return ok_; }

 private:
  const BYTE* data_;
  size_t size_;
  bool ok_ = true;
};

class Parser {
 public:
  Parser(const BYTE* data, size_t size) : r_(data, size) {}

  ParseResult Run(LibraryData* lib);

 private:
  bool InSegment(Segment s, LONG offset, size_t bytes, size_t* at) {
    const SegmentRange& seg = segments_[s];
    if (offset < 0 || !seg.present || static_cast<size_t>(offset) > seg.length ||
        bytes > seg.length - static_cast<size_t>(offset)) {
      return r_.Fail();
    }
    *at = seg.offset + static_cast<size_t>(offset);
    return true;
  }

  std::u16string Ansi(const BYTE* p, size_t n) {
    return Widen(std::string(reinterpret_cast<const char*>(p), n).c_str());
  }

  // A name: hash-chain header of three DWORDs, the length in the low byte of
  // the third, then the characters. -1 means none.
  std::u16string Name(LONG offset) {
    size_t at;
    const BYTE* p;
    if (offset < 0 || !InSegment(kNames, offset, 12, &at)) return std::u16string();
    const size_t n = static_cast<size_t>(r_.Int(at + 8) & 0xFF);
    if (!r_.Bytes(at + 12, n, &p)) return std::u16string();
    return Ansi(p, n);
  }

  // A string: a 16-bit length, then the characters. -1 means none.
  std::u16string String(LONG offset) {
    size_t at;
    const BYTE* p;
    if (offset < 0 || !InSegment(kStrings, offset, 2, &at)) return std::u16string();
    const size_t n = static_cast<USHORT>(r_.Short(at));
    if (!r_.Bytes(at + 2, n, &p)) return std::u16string();
    return Ansi(p, n);
  }

  GUID Guid(LONG offset) {
    GUID g{};
    size_t at;
    const BYTE* p;
    if (offset < 0 || !InSegment(kGuids, offset, 24, &at) || !r_.Bytes(at, 16, &p)) return g;
    std::memcpy(&g.Data1, p, 4);
    std::memcpy(&g.Data2, p + 4, 2);
    std::memcpy(&g.Data3, p + 6, 2);
    std::memcpy(g.Data4, p + 8, 8);
    return g;
  }

  // A type: negative, a base type in the low bits; otherwise the offset of an
  // entry in the type descriptions (two DWORDs: the type with flags, then the
  // pointed-to type, the array description or the reference).
  TypeSpec Type(LONG encoded, int depth = 0) {
    TypeSpec spec;
    if (encoded < 0) {
      spec.vt = static_cast<VARTYPE>(encoded & 0x0FFF);
      return spec;
    }
    size_t at;
    if (depth > 16 || !InSegment(kTypeDescs, encoded, 8, &at)) return spec;
    spec.vt = static_cast<VARTYPE>(r_.Int(at) & 0x0FFF);
    const LONG value = r_.Int(at + 4);
    switch (spec.vt) {
      case VT_PTR:
      case VT_SAFEARRAY:
        spec.inner = std::make_shared<TypeSpec>(Type(value, depth + 1));
        break;
      case VT_USERDEFINED:
        spec.href = static_cast<HREFTYPE>(value);
        break;
      case VT_CARRAY: {
        size_t arr;
        if (!InSegment(kArrayDescs, value, 8, &arr)) break;
        spec.inner = std::make_shared<TypeSpec>(Type(r_.Int(arr), depth + 1));
        const int dims = static_cast<USHORT>(r_.Short(arr + 4));
        for (int d = 0; d < dims && r_.ok(); ++d) {
          SAFEARRAYBOUND b;
          b.cElements = static_cast<ULONG>(r_.Int(arr + 8 + 8 * d));
          b.lLbound = r_.Int(arr + 12 + 8 * d);
          spec.bounds.push_back(b);
        }
        break;
      }
      default:
        break;
    }
    return spec;
  }

  // A value: negative, a small constant kept inline (type in bits 26-30, value
  // in bits 0-25); otherwise the offset of a typed value in the custom data.
  ConstValue Value(LONG encoded) {
    ConstValue v;
    if (encoded == -1) return v;
    if (encoded < 0) {
      v.vt = static_cast<VARTYPE>((encoded >> 26) & 0x1F);
      LONG bits = encoded & 0x03FFFFFF;
      if (bits & 0x02000000) bits |= ~0x03FFFFFF;  // the inline value is signed
      v.integer = bits;
      return v;
    }
    size_t at;
    if (!InSegment(kCustomData, encoded, 2, &at)) return v;
    v.vt = static_cast<VARTYPE>(r_.Short(at));
    switch (v.vt) {
      case VT_I1:
      case VT_UI1:
      case VT_I2:
      case VT_UI2:
      case VT_I4:
      case VT_UI4:
      case VT_INT:
      case VT_UINT:
      case VT_BOOL:
      case VT_ERROR:
      case VT_HRESULT:
        v.integer = r_.Int(at + 2);
        break;
      case VT_BSTR: {
        const LONG n = r_.Int(at + 2);
        const BYTE* p;
        if (n >= 0 && r_.Bytes(at + 6, static_cast<size_t>(n), &p)) v.text = Ansi(p, static_cast<size_t>(n));
        break;
      }
      default:
        v.vt = VT_EMPTY;  // kept as "no value" rather than misread
        break;
    }
    return v;
  }

  void ReadMembers(TypeData* type, LONG memoryOffset, int funcs, int vars);
  void ReadImplementations(TypeData* type, LONG count, LONG datatype1);

  Reader r_;
  SegmentRange segments_[kSegmentCount];
  LONG dispatchHref_ = -1;
  int pointerSize_ = 4;
};

// The member block of a type: its byte length, the function records, the
// variable records, then one member id, one name and one record offset per
// member, functions first.
void Parser::ReadMembers(TypeData* type, LONG memoryOffset, int funcs, int vars) {
  const int members = funcs + vars;
  if (memoryOffset < 0) {
    r_.Fail();
    return;
  }
  const size_t block = static_cast<size_t>(memoryOffset);
  const LONG recordBytes = r_.Int(block);
  if (!r_.ok() || recordBytes < 0) {
    r_.Fail();
    return;
  }
  const size_t records = block + 4;
  const size_t ids = records + static_cast<size_t>(recordBytes);
  const size_t names = ids + 4 * static_cast<size_t>(members);
  const size_t offsets = names + 4 * static_cast<size_t>(members);
  if (!r_.Fits(offsets, 4 * static_cast<size_t>(members))) {
    r_.Fail();
    return;
  }
  for (int m = 0; m < members && r_.ok(); ++m) {
    const LONG recordOffset = r_.Int(offsets + 4 * m);
    if (recordOffset < 0 || recordOffset >= recordBytes) {
      r_.Fail();
      return;
    }
    const size_t rec = records + static_cast<size_t>(recordOffset);
    const size_t recordSize = static_cast<size_t>(r_.Int(rec) & 0xFFFF);
    if (!r_.Fits(rec, recordSize) || rec + recordSize > ids) {
      r_.Fail();
      return;
    }
    const MEMBERID memid = r_.Int(ids + 4 * m);
    const std::u16string name = Name(r_.Int(names + 4 * m));
    if (m < funcs) {
      // Function: size, result type, flags, vtable offset, descriptor size,
      // kinds, argument counts, then optional fields (help context, help
      // string, entry, two reserved, help string context, custom data...),
      // default values when flagged, and 12 bytes per parameter at the end.
      if (recordSize < 0x18) {
        r_.Fail();
        return;
      }
      FuncData f;
      f.memid = memid;
      f.name = name;
      f.result = Type(r_.Int(rec + 4));
      f.flags = static_cast<WORD>(r_.Int(rec + 8));
      f.vtableIndex = static_cast<USHORT>(r_.Short(rec + 12)) / pointerSize_;
      const LONG kinds = r_.Int(rec + 16);
      f.funckind = static_cast<FUNCKIND>(kinds & 0x7);
      f.invkind = static_cast<INVOKEKIND>((kinds >> 3) & 0xF);
      f.callconv = static_cast<CALLCONV>((kinds >> 8) & 0xF);
      const bool hasDefaults = (kinds & 0x1000) != 0;
      const int argc = static_cast<USHORT>(r_.Short(rec + 20));
      f.cParamsOpt = r_.Short(rec + 22);
      const size_t paramBytes = 12 * static_cast<size_t>(argc) + (hasDefaults ? 4 * static_cast<size_t>(argc) : 0);
      if (paramBytes > recordSize - 0x18) {
        r_.Fail();
        return;
      }
      const size_t optional = (recordSize - 0x18 - paramBytes) / 4;
      if (optional > 0) f.helpContext = static_cast<DWORD>(r_.Int(rec + 0x18));
      if (optional > 1) f.doc = String(r_.Int(rec + 0x1C));
      const size_t params = rec + recordSize - 12 * static_cast<size_t>(argc);
      const size_t defaults = params - (hasDefaults ? 4 * static_cast<size_t>(argc) : 0);
      for (int a = 0; a < argc && r_.ok(); ++a) {
        ParamData p;
        p.type = Type(r_.Int(params + 12 * a));
        p.name = Name(r_.Int(params + 12 * a + 4));
        p.flags = static_cast<USHORT>(r_.Int(params + 12 * a + 8));
        if (hasDefaults && (p.flags & PARAMFLAG_FHASDEFAULT)) p.defaultValue = Value(r_.Int(defaults + 4 * a));
        f.params.push_back(std::move(p));
      }
      type->funcs.push_back(std::move(f));
    } else {
      // Variable: size, type, flags, kind, descriptor size, offset or value,
      // then optional help context and help string.
      if (recordSize < 0x14) {
        r_.Fail();
        return;
      }
      VarData v;
      v.memid = memid;
      v.name = name;
      v.type = Type(r_.Int(rec + 4));
      v.flags = static_cast<WORD>(r_.Int(rec + 8));
      const SHORT varkind = r_.Short(rec + 12);
      if (varkind < VAR_PERINSTANCE || varkind > VAR_DISPATCH) {
        r_.Fail();
        return;
      }
      v.varkind = static_cast<VARKIND>(varkind);
      const LONG offsetOrValue = r_.Int(rec + 16);
      if (v.varkind == VAR_CONST) {
        v.value = Value(offsetOrValue);
      } else {
        v.offset = static_cast<ULONG>(offsetOrValue);
      }
      const size_t optional = (recordSize - 0x14) / 4;
      if (optional > 0) v.helpContext = static_cast<DWORD>(r_.Int(rec + 0x14));
      if (optional > 1) v.doc = String(r_.Int(rec + 0x18));
      type->vars.push_back(std::move(v));
    }
  }
}

// A coclass lists its interfaces in the reference segment, each entry the
// reference, its flags, custom data and the offset of the next entry; an
// interface names its base directly.
void Parser::ReadImplementations(TypeData* type, LONG count, LONG datatype1) {
  if (count <= 0) return;
  if (type->kind == TKIND_COCLASS) {
    LONG next = datatype1;
    for (LONG i = 0; i < count && next >= 0 && r_.ok(); ++i) {
      size_t at;
      if (!InSegment(kReferences, next, 16, &at)) return;
      ImplData impl;
      impl.href = static_cast<HREFTYPE>(r_.Int(at));
      impl.flags = r_.Int(at + 4);
      type->impls.push_back(impl);
      next = r_.Int(at + 12);
    }
    return;
  }
  if (type->kind == TKIND_DISPATCH && datatype1 < 0 && dispatchHref_ >= 0) datatype1 = dispatchHref_;
  if (datatype1 >= 0) type->impls.push_back(ImplData{static_cast<HREFTYPE>(datatype1), 0});
}

ParseResult Parser::Run(LibraryData* lib) {
  LONG magic = 0;
  if (!r_.Int(0, &magic) || static_cast<DWORD>(magic) != kMagic) return ParseResult::NotTypeLibrary;
  if (!r_.Fits(0, kHeaderSize)) return ParseResult::Corrupt;

  const LONG varflags = r_.Int(0x14);
  const LONG version = r_.Int(0x18);
  const LONG typeCount = r_.Int(0x20);
  if (typeCount < 0 || typeCount > 0xFFFF) return ParseResult::Corrupt;
  lib->lcid = static_cast<LCID>(r_.Int(0x10));
  if ((varflags & 0xF) > SYS_WIN64) return ParseResult::Corrupt;
  lib->syskind = static_cast<SYSKIND>(varflags & 0xF);
  pointerSize_ = lib->syskind == SYS_WIN64 ? 8 : 4;
  lib->major = static_cast<WORD>(version & 0xFFFF);
  lib->minor = static_cast<WORD>((version >> 16) & 0xFFFF);
  lib->flags = static_cast<WORD>(r_.Int(0x1C));
  lib->helpContext = static_cast<DWORD>(r_.Int(0x2C));
  dispatchHref_ = r_.Int(0x4C);
  lib->dispatchHref = dispatchHref_;

  size_t at = kHeaderSize + ((varflags & 0x100) ? 4 : 0);  // help string DLL
  const size_t typeOffsets = at;
  at += 4 * static_cast<size_t>(typeCount);
  if (!r_.Fits(at, 16 * kSegmentCount)) return ParseResult::Corrupt;
  for (int s = 0; s < kSegmentCount; ++s) {
    const LONG offset = r_.Int(at + 16 * s);
    const LONG length = r_.Int(at + 16 * s + 4);
    if (offset < 0 || length <= 0) continue;
    if (!r_.Fits(static_cast<size_t>(offset), static_cast<size_t>(length))) return ParseResult::Corrupt;
    segments_[s] = SegmentRange{static_cast<size_t>(offset), static_cast<size_t>(length), true};
  }

  lib->guid = Guid(r_.Int(0x08));
  lib->name = Name(r_.Int(0x38));
  lib->doc = String(r_.Int(0x24));
  lib->helpFile = String(r_.Int(0x3C));

  // Import entries (12 bytes: flags with the kind in the top byte, import file,
  // the type's GUID or its index there) and their files (library GUID, locale,
  // version, then the counted file name, length in the bits above the lowest two).
  for (size_t off = 0; segments_[kImportInfos].present && off + 12 <= segments_[kImportInfos].length; off += 12) {
    const size_t entry = segments_[kImportInfos].offset + off;
    ImportData imp;
    imp.offset = static_cast<DWORD>(off);
    const LONG flags = r_.Int(entry);
    size_t file;
    if (!InSegment(kImportFiles, r_.Int(entry + 4), 14, &file)) return ParseResult::Corrupt;
    imp.byGuid = (flags & 0x10000) != 0;
    if (imp.byGuid) {
      imp.typeGuid = Guid(r_.Int(entry + 8));
    } else {
      imp.typeIndex = static_cast<UINT>(r_.Int(entry + 8));
    }
    imp.libraryGuid = Guid(r_.Int(file));
    imp.lcid = static_cast<LCID>(r_.Int(file + 4));
    const LONG fileVersion = r_.Int(file + 8);
    imp.major = static_cast<WORD>(fileVersion & 0xFFFF);
    imp.minor = static_cast<WORD>((fileVersion >> 16) & 0xFFFF);
    const size_t nameLength = static_cast<USHORT>(r_.Short(file + 12)) >> 2;
    const BYTE* p;
    if (!r_.Bytes(file + 14, nameLength, &p)) return ParseResult::Corrupt;
    imp.file = Ansi(p, nameLength);
    lib->imports.push_back(std::move(imp));
  }

  for (LONG t = 0; t < typeCount && r_.ok(); ++t) {
    size_t rec;
    const LONG offset = r_.Int(typeOffsets + 4 * static_cast<size_t>(t));
    if (!InSegment(kTypeInfos, offset, kTypeRecordSize, &rec)) return ParseResult::Corrupt;
    TypeData type;
    type.href = static_cast<HREFTYPE>(offset);
    type.index = static_cast<UINT>(t);
    const LONG kind = r_.Int(rec);
    type.kind = static_cast<TYPEKIND>(kind & 0xF);
    if (type.kind >= TKIND_MAX) return ParseResult::Corrupt;
    type.alignment = static_cast<WORD>((kind >> 11) & 0x1F);
    const LONG elements = r_.Int(rec + 0x18);
    type.guid = Guid(r_.Int(rec + 0x2C));
    type.flags = static_cast<WORD>(r_.Int(rec + 0x30));
    type.name = Name(r_.Int(rec + 0x34));
    const LONG typeVersion = r_.Int(rec + 0x38);
    type.major = static_cast<WORD>(typeVersion & 0xFFFF);
    type.minor = static_cast<WORD>((typeVersion >> 16) & 0xFFFF);
    type.doc = String(r_.Int(rec + 0x3C));
    type.helpContext = static_cast<DWORD>(r_.Int(rec + 0x44));
    const SHORT implCount = r_.Short(rec + 0x4C);
    type.vtableSlots = static_cast<USHORT>(r_.Short(rec + 0x4E)) / pointerSize_;
    type.size = static_cast<ULONG>(r_.Int(rec + 0x50));
    const LONG datatype1 = r_.Int(rec + 0x54);
    if (type.kind == TKIND_ALIAS) {
      type.alias = Type(datatype1);
    } else {
      ReadImplementations(&type, implCount, datatype1);
    }
    const int funcs = elements & 0xFFFF;
    const int vars = (elements >> 16) & 0xFFFF;
    if (funcs + vars > 0) ReadMembers(&type, r_.Int(rec + 0x04), funcs, vars);
    lib->types.push_back(std::move(type));
  }
  return r_.ok() ? ParseResult::Ok : ParseResult::Corrupt;
}

}  // namespace

const TypeData* LibraryData::TypeAt(HREFTYPE href) const {
  for (const TypeData& t : types) {
    if (t.href == href) return &t;
  }
  return nullptr;
}

const ImportData* LibraryData::ImportAt(HREFTYPE href) const {
  if (!(href & 1)) return nullptr;
  for (const ImportData& i : imports) {
    if (i.offset == (href & ~3u)) return &i;
  }
  return nullptr;
}

ParseResult ParseTypeLibrary(const BYTE* data, size_t size, LibraryData* out) {
  Parser parser(data, size);
  return parser.Run(out);
}

}  // namespace winapi
