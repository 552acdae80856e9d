// A device context given back when the scope ends (internal).
#pragma once

#include "fieldkit/ui/gdi.h"

namespace fieldkit::detail {

// Holds what GetDC or GetWindowDC answered for `window`; a null context (no screen) is held
// as well and simply never released.
class ScopedDC {
  public:
    ScopedDC(HWND window, HDC dc) : m_window(window), m_dc(dc) {}
    ~ScopedDC() {
        if (m_dc != nullptr) ReleaseDC(m_window, m_dc);
    }
    ScopedDC(const ScopedDC&) = delete;
    ScopedDC& operator=(const ScopedDC&) = delete;
    HDC Get() const { return m_dc; }

  private:
    HWND m_window;
    HDC m_dc;
};

}  // namespace fieldkit::detail
