// The loader lock, shared by the loader and by the areas whose functions must
// not be called under it. Not part of the layer's API.
#pragma once

namespace winapi {

// Held while a module's entry point runs, and for a shared object while its
// static constructors or destructors run (inside dlopen and dlclose), as the
// runtime of a Windows module runs them inside its entry point. Re-entrant:
// an entry point may load or free another module.
class LoaderLock {
 public:
  LoaderLock();
  ~LoaderLock();
  LoaderLock(const LoaderLock&) = delete;
  LoaderLock& operator=(const LoaderLock&) = delete;
};

// Counts a call into `area` when the calling thread holds the loader lock,
// where Microsoft's rules for DllMain forbid it.
void CheckNotUnderLoaderLock(const char* area);

}  // namespace winapi
