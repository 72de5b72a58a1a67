#include "ui/win32/Dpi.h"

#include "ui/DialogTemplate.h"

namespace glassbench::ui::win32 {

namespace {

constexpr UINT kBaseDpi = USER_DEFAULT_SCREEN_DPI;

// The DPI the system lays out in, and at which GetSystemMetrics answers.
UINT SystemDpi() {
    const WindowDC screen(nullptr);
    const int dpi = ::GetDeviceCaps(screen.Get(), LOGPIXELSY);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

}  // namespace

UINT WindowDpi(HWND window) {
    // GetDpiForWindow came with Windows 10 1607; before it a window has the system's DPI, in
    // which the manifest's fallback, system awareness, lays it out. Looked up, not imported,
    // so that the program still starts there.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow =
        reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void (*)()>(
            ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    const UINT dpi = getDpiForWindow != nullptr ? getDpiForWindow(window) : 0;
    return dpi != 0 ? dpi : SystemDpi();
}

int MetricForDpi(int metric, UINT dpi) {
    return ::MulDiv(::GetSystemMetrics(metric), static_cast<int>(dpi),
                    static_cast<int>(SystemDpi()));
}

UniqueIcon LoadAppIcon(int sizeMetric, UINT dpi) {
    const int side = MetricForDpi(sizeMetric, dpi);
    return UniqueIcon(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                      MAKEINTRESOURCEW(kIdrMainFrame), IMAGE_ICON,
                                                      side, side, LR_DEFAULTCOLOR)));
}

HFONT FixedPitchFont(UINT dpi, UniqueFont& owned) {
    const auto stock = static_cast<HFONT>(::GetStockObject(ANSI_FIXED_FONT));
    LOGFONTW font{};
    if (dpi == kBaseDpi || ::GetObjectW(stock, sizeof(font), &font) == 0) {
        owned.Reset();
        return stock;
    }
    font.lfHeight = ::MulDiv(font.lfHeight, static_cast<int>(dpi), kBaseDpi);
    font.lfWidth = 0;  // the outline font's own proportions
    font.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    owned.Reset(::CreateFontIndirectW(&font));
    return owned ? owned.Get() : stock;
}

}  // namespace glassbench::ui::win32
