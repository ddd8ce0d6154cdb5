// Owners of handles and interface pointers: move-only, one line per handle type.
#pragma once

#include <windows.h>

namespace daybander {

// Owns one handle of the kind Traits describes: Traits::type, Traits::invalid()
// and Traits::close(h).
template <class Traits>
class unique_handle {
 public:
  using pointer = typename Traits::type;

  unique_handle() = default;
  explicit unique_handle(pointer value) : m_value(value) {}
  unique_handle(const unique_handle&) = delete;
  unique_handle& operator=(const unique_handle&) = delete;
  unique_handle(unique_handle&& other) noexcept : m_value(other.release()) {}
  unique_handle& operator=(unique_handle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~unique_handle() { reset(); }

  pointer get() const { return m_value; }
  explicit operator bool() const { return m_value != Traits::invalid(); }

  // Closes the held handle (if any) and holds value instead.
  void reset(pointer value = Traits::invalid()) {
    const pointer old = m_value;
    m_value = value;
    if (old != Traits::invalid()) Traits::close(old);
  }
  [[nodiscard]] pointer release() {
    const pointer old = m_value;
    m_value = Traits::invalid();
    return old;
  }
  // Closes the held handle first, then hands out the address to fill.
  pointer* put() {
    reset();
    return &m_value;
  }

 private:
  pointer m_value = Traits::invalid();
};

#define DAYBANDER_HANDLE_TRAITS(name, handleType, closeExpression) \
  struct name {                                                     \
    using type = handleType;                                        \
    static type invalid() { return nullptr; }                       \
    static void close(type h) { closeExpression; }                  \
  }

DAYBANDER_HANDLE_TRAITS(hkey_traits, HKEY, RegCloseKey(h));
DAYBANDER_HANDLE_TRAITS(hmenu_traits, HMENU, DestroyMenu(h));
DAYBANDER_HANDLE_TRAITS(hwnd_traits, HWND, DestroyWindow(h));
DAYBANDER_HANDLE_TRAITS(hfont_traits, HFONT, DeleteObject(h));
DAYBANDER_HANDLE_TRAITS(bstr_traits, BSTR, SysFreeString(h));
DAYBANDER_HANDLE_TRAITS(cotaskmem_traits, void*, CoTaskMemFree(h));
DAYBANDER_HANDLE_TRAITS(cotaskmem_string_traits, LPOLESTR, CoTaskMemFree(h));
#undef DAYBANDER_HANDLE_TRAITS

using unique_hkey = unique_handle<hkey_traits>;
using unique_hmenu = unique_handle<hmenu_traits>;
using unique_hwnd = unique_handle<hwnd_traits>;
using unique_hfont = unique_handle<hfont_traits>;
using unique_bstr = unique_handle<bstr_traits>;
using unique_cotaskmem = unique_handle<cotaskmem_traits>;
using unique_cotaskmem_string = unique_handle<cotaskmem_string_traits>;

// A VARIANT that is cleared when it goes.
class unique_variant {
 public:
  unique_variant() { VariantInit(&m_value); }
  unique_variant(const unique_variant&) = delete;
  unique_variant& operator=(const unique_variant&) = delete;
  ~unique_variant() { VariantClear(&m_value); }

  VARIANT* get() { return &m_value; }
  VARIANT* operator->() { return &m_value; }
  VARIANT& operator*() { return m_value; }

 private:
  VARIANT m_value;
};

// A counted interface pointer: holds one reference while non-null.
template <class T>
class com_ptr {
 public:
  com_ptr() = default;
  com_ptr(const com_ptr&) = delete;
  com_ptr& operator=(const com_ptr&) = delete;
  com_ptr(com_ptr&& other) noexcept : m_ptr(other.detach()) {}
  com_ptr& operator=(com_ptr&& other) noexcept {
    if (this != &other) attach(other.detach());
    return *this;
  }
  ~com_ptr() { reset(); }

  T* get() const { return m_ptr; }
  T* operator->() const { return m_ptr; }
  explicit operator bool() const { return m_ptr != nullptr; }

  // Takes over a reference the caller already holds.
  void attach(T* ptr) {
    T* old = m_ptr;
    m_ptr = ptr;
    if (old) old->Release();
  }
  [[nodiscard]] T* detach() {
    T* old = m_ptr;
    m_ptr = nullptr;
    return old;
  }
  // Nulls the member before releasing, so a re-entrant call never sees a
  // pointer that is on its way out.
  void reset() { attach(nullptr); }
  // Releases the held pointer first, then hands out the address to fill.
  T** put() {
    reset();
    return &m_ptr;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

  // QueryInterface for another interface, into a new owner.
  template <class U>
  HRESULT query(REFIID iid, com_ptr<U>* out) const {
    if (!m_ptr) return E_POINTER;
    return m_ptr->QueryInterface(iid, out->put_void());
  }

 private:
  T* m_ptr = nullptr;
};

}  // namespace daybander
