// Shell service ids.
#pragma once

#include <exdisp.h>

// The browser is found as a service under the id of its application interface.
#define SID_SWebBrowserApp IID_IWebBrowserApp
