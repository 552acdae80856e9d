#include "fieldkit/files/directory_tree.h"

#include "fieldkit/numbers/detail/truncate.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/ui/detail/scoped_dc.h"
#include "fieldkit/ui/gdi.h"
#include "fieldkit/ui/window.h"

namespace {

// The width of the whole text; 0 when it can't be measured, which ends the shortening.
long TextWidth(HDC dc, const CString& text) {
    SIZE size{0, 0};
    if (!GetTextExtentExPointW(dc, text, text.GetLength(), 0, nullptr, nullptr, &size)) return 0;
    return size.cx;
}

// The widest text the window shows: its client width less a tenth, so the text keeps clear
// of the frame.
long WidthLimit(HWND window) {
    RECT client{};
    if (!GetClientRect(window, &client)) return 0;
    const double width = static_cast<double>(client.right) - static_cast<double>(client.left);
    const long whole = fieldkit::detail::TruncToInt32(width);
    return whole - fieldkit::detail::TruncToInt32(width * 0.1);
}

// Replaces the first component (after the one the path starts with) that has three characters
// or more with "...", then drops the components after the dots one by one, until the text fits;
// the last component is never touched.
void Shorten(CString& text, HWND window, wchar_t separator) {
    const long limit = WidthLimit(window);
    if (limit <= 0) return;
    const fieldkit::detail::ScopedDC dc(window, GetWindowDC(window));
    if (dc.Get() == nullptr) return;

    long width = TextWidth(dc.Get(), text);
    int pos = 0;
    bool dots = false;
    while (width > limit && pos < text.GetLength()) {
        pos = text.Find(separator, pos);
        if (pos < 0) break;
        if (!dots) {
            const int start = pos + 1;
            const int end = text.Find(separator, start);
            if (end < 0) break;
            if (end - start < 3) {
                pos = start;  // too short to gain anything; try the next component
                continue;
            }
            text = text.Left(start) + L"..." + text.Mid(end);
            pos = start + 3;
            dots = true;
        } else {
            const int next = text.Find(separator, pos + 1);
            if (next < 0) break;
            text.Delete(pos, next - pos);
        }
        width = TextWidth(dc.Get(), text);
    }
}

}  // namespace

namespace FileFuncsEx {

CString CompactPath(HWND window, const wchar_t* path, wchar_t separator) {
    return fieldkit::detail::NoThrow(CString(), [&] {
        CString text(path != nullptr ? path : L"");
        // The trailing separator is set aside so the last real component counts as the name.
        const bool trailing = text.GetLength() > 3 && text[text.GetLength() - 1] == separator;
        if (trailing) text.Delete(text.GetLength() - 1);
        if (window != nullptr && !text.IsEmpty()) Shorten(text, window, separator);
        if (trailing) text += separator;
        return text;
    });
}

}  // namespace FileFuncsEx
