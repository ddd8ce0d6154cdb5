// The classes this library serves: the band, registered by registry script
// IDR_EXPLORERBAR.
#include "com_object.h"
#include "explorer_bar.h"
#include "module.h"

namespace {

typedef CComCreator2<CComCreator<CComObject<CExplorerBar>>, CComCreator<CComAggObject<CExplorerBar>>>
    ExplorerBarCreator;

HRESULT WINAPI UpdateExplorerBarRegistry(BOOL bRegister) {
  return _Module.UpdateRegistryFromResource(IDR_EXPLORERBAR, bRegister);
}

}  // namespace

ObjectMapEntry ObjectMap[] = {
    {&CLSID_ExplorerBar, &UpdateExplorerBarRegistry, &CComCreator<CComObjectCached<CComClassFactory>>::CreateInstance,
     &ExplorerBarCreator::CreateInstance, nullptr, &CExplorerBar::GetCategoryMap, &CExplorerBar::ObjectMain},
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};
