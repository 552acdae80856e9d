// Windows of the handheld's class library, as far as the library needs them so far: a CWnd
// wraps a window handle.
#pragma once

#include "fieldkit/platform/types.h"

class CWnd {
  public:
    CWnd() = default;
    virtual ~CWnd() = default;

    HWND GetSafeHwnd() const { return m_hWnd; }

    HWND m_hWnd = nullptr;
};
