// The editor window on Win32: a child of the host's window that shows the surface,
// turns messages into the context's mouse and paint calls and redraws from a timer;
// plus the value entry over a control, text drawing, dialogs and links. Everything
// here runs on the thread that owns the window, the host's user-interface thread.
#include "IGraphicsWindow.h"

#include "IParameter.h"
#include "raster/RAS_Bitmap.h"

#include <windows.h>

#include <commdlg.h>
#include <shellapi.h>
#include <wininet.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {
constexpr double kBaseDpi = 96.0;
// A top-level window moved to a monitor of another density, and the same sent to child
// windows (Windows 10 1703 and later); the headers name them only for newer targets.
constexpr UINT kDpiChanged = 0x02E0;
constexpr UINT kDpiChangedAfterParent = 0x02E3;

// The density of the monitor a window is on (Windows 10 1607 and later), else the
// system's.
UINT DpiOf(HWND window) {
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto forWindow = reinterpret_cast<DpiForWindow>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (window && forWindow)
        if (const UINT dpi = forWindow(window); dpi > 0)
            return dpi;
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}


constexpr char kClassName[] = "IEffectWndClass";
constexpr char kWindowTitle[] = "IEffect";
constexpr UINT_PTR kTimerId = 2;
// A paint pass draws at most this many rectangles; a region of more is merged down to them.
constexpr int kDirtyRegions = 8;
constexpr int kEntryId = 99;
// Window text, parameter texts and paths are read into buffers of these sizes.
constexpr int kEntryTextSize = 32;
constexpr DWORD kPathSize = 256;

enum EntryState {
    kEntryIdle = 0,
    kEntryTyping = 1,  // the entry has the focus: the panel keeps still
    kEntryRefresh = 2, // the next tick shows the parameter's text again
    kEntryCancel = 3,  // the next tick closes the entry
    kEntryCommit = 4,  // the next tick takes the entry's value and closes it
};

// Open editor windows of every instance in this module; the class lives while any is
// open. All editor windows belong to the host's user-interface thread, so a plain
// count does.
int gClassRegistrations = 0;
// Read by the creation handler, which cannot reach the context before WM_CREATE.
double gFrameRate = 60.0;

int SignedLow(LPARAM value) {
    return static_cast<short>(static_cast<DWORD_PTR>(value) & 0xFFFF);
}

int SignedHigh(DWORD_PTR value) {
    return static_cast<short>((value >> 16) & 0xFFFF);
}

IMouseKeys KeysOf(WPARAM flags) {
    IMouseKeys keys;
    keys.left = (flags & MK_LBUTTON) != 0;
    keys.right = (flags & MK_RBUTTON) != 0;
    keys.shift = (flags & MK_SHIFT) != 0;
    keys.control = (flags & MK_CONTROL) != 0;
    keys.alt = GetKeyState(VK_MENU) < 0;
    return keys;
}

RECT ToRect(const IRectangle& r) {
    return RECT{r.L, r.T, r.R, r.B};
}

// A child window that is not an MDI child: hosts wrap the editor in such windows, and
// those must grow with it.
bool IsPlainChild(HWND window) {
    return (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0 &&
           (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_MDICHILD) == 0;
}

void GrowWindow(HWND window, int widthChange, int heightChange) {
    RECT r;
    GetWindowRect(window, &r);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left + widthChange,
                 r.bottom - r.top + heightChange, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

// The directory of module's file with its trailing backslash, or "" when unknown.
void DirectoryOf(HMODULE module, char* out) {
    out[0] = '\0';
    char path[kPathSize];
    const DWORD length = GetModuleFileNameA(module, path, kPathSize);
    if (length == 0 || length >= kPathSize)
        return;
    const char* slash = std::strrchr(path, '\\');
    if (slash == nullptr || slash[1] == '\0')
        return;
    const auto keep = static_cast<std::size_t>(slash - path + 1);
    std::memcpy(out, path, keep);
    out[keep] = '\0';
}

} // namespace

struct IGraphicsWindow::Platform {
    ~Platform() {
        if (labelFont != nullptr) {
            // A font still selected into a device context cannot be deleted.
            SelectObject(labelDC, labelPrevious);
            DeleteObject(labelFont);
        }
    }

    bool fontSet = false;
    IDrawColor textColour{255, 0, 0, 0};
    HWND window = nullptr;
    HWND entry = nullptr;
    IControl* entryControl = nullptr;
    const IParameter* entryParameter = nullptr;
    WNDPROC entryPrevious = nullptr;
    int entryState = kEntryIdle;
    std::unique_ptr<COLORREF[]> customColours;
    HWND parent = nullptr;
    // The fonts we made, released with the entry or the editor.
    HFONT entryFont = nullptr;
    HFONT labelFont = nullptr;
    HDC labelDC = nullptr;
    HGDIOBJ labelPrevious = nullptr;
    // The device context of the WM_PAINT in progress, which presents; null outside one.
    HDC paintDC = nullptr;
    // The update region's rectangles as GetRegionData returns them, kept between passes.
    std::vector<unsigned char> regionData;

    static Platform& Of(IGraphicsWindow& editor) {
        if (!editor.platform)
            editor.platform.reset(new Platform);
        return *editor.platform;
    }

    static IGraphicsWindow* EditorOf(HWND window) {
        return reinterpret_cast<IGraphicsWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    }

    static HINSTANCE Instance(const IGraphicsWindow& editor) {
        return static_cast<HINSTANCE>(const_cast<void*>(editor.Module()));
    }

    // The cancel steps: whatever way an entry ends, it leaves nothing behind.
    void EndEntry() {
        if (entry != nullptr) {
            SetWindowLongPtrA(entry, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(entryPrevious));
            DestroyWindow(entry);
        }
        if (entryFont != nullptr)
            DeleteObject(entryFont);
        entryFont = nullptr;
        entry = nullptr;
        entryControl = nullptr;
        entryParameter = nullptr;
        entryPrevious = nullptr;
        entryState = kEntryIdle;
    }

    void CommitEntry() {
        char text[kEntryTextSize] = {};
        SendMessageA(entry, WM_GETTEXT, kEntryTextSize, reinterpret_cast<LPARAM>(text));
        double value;
        if (entryParameter->ValueTextCount() > 0) {
            int32_t found = 0;
            entryParameter->FindValueText(text, &found);
            value = found;
        } else {
            value = std::atof(text);
        }
        entryControl->SetValueFromEntry(entryParameter->Normalize(value));
        EndEntry();
    }

    void Tick(IGraphicsWindow& editor) {
        if (entry != nullptr && entryState != kEntryIdle) {
            switch (entryState) {
            case kEntryRefresh: {
                char text[kEntryTextSize];
                entryParameter->FormatCurrentForHost(text);
                SendMessageA(entry, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
                entryState = kEntryIdle;
                break;
            }
            case kEntryCommit:
                CommitEntry();
                break;
            case kEntryCancel:
                EndEntry();
                break;
            default:
                entryState = kEntryIdle;
                break;
            }
            return;
        }
        editor.TakeReadings();
        IRectangle dirty[kDirtyRegions];
        const int regions = editor.CollectDirtyRegions(dirty, kDirtyRegions);
        if (regions == 0)
            return;
        // Each apart, so that controls far from each other do not repaint all between them.
        for (int i = 0; i < regions; ++i) {
            const RECT r = ToRect(editor.ToDevice(dirty[i]));
            InvalidateRect(window, &r, FALSE);
        }
        UpdateWindow(window);
        if (entry != nullptr)
            entryState = kEntryRefresh;
    }

    // The window's update region in device pixels as at most kDirtyRegions rectangles
    // that do not meet; the number filled.
    int UpdateRegions(IRectangle* out) {
        HRGN update = CreateRectRgn(0, 0, 0, 0);
        if (update == nullptr)
            return 0;
        const DWORD size = GetUpdateRgn(window, update, FALSE) > NULLREGION
                               ? GetRegionData(update, 0, nullptr)
                               : 0;
        if (size > regionData.size())
            regionData.resize(size);
        auto* data = reinterpret_cast<RGNDATA*>(regionData.data());
        int count = 0;
        if (size > 0 && GetRegionData(update, size, data) != 0) {
            const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
            for (DWORD i = 0; i < data->rdh.nCount; ++i) {
                const RECT& r = rects[i];
                count = AddToRegions(out, count, kDirtyRegions, {r.left, r.top, r.right, r.bottom});
            }
        }
        DeleteObject(update);
        return count;
    }

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_CREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
            SetTimer(hwnd, kTimerId, static_cast<UINT>(1000.0 / gFrameRate), nullptr);
            return 0;
        }
        IGraphicsWindow* editor = EditorOf(hwnd);
        if (editor == nullptr || !editor->platform || editor->platform->window != hwnd)
            return DefWindowProcA(hwnd, message, wParam, lParam);
        Platform& p = *editor->platform;
        if (message == WM_NCDESTROY) {
            // Destroyed with the host's window, before any close: forget it, so that no
            // later close or reopen works on a dead handle. The class cannot go while
            // this window still exists; the next close that empties the count removes it.
            p.EndEntry();
            p.window = nullptr;
            --gClassRegistrations;
            return DefWindowProcA(hwnd, message, wParam, lParam);
        }
        // While the user types, the panel neither paints nor takes the mouse; a right-click
        // cancels. A close still closes, or the window would go without our bookkeeping.
        if (p.entry != nullptr && p.entryState == kEntryTyping && message != WM_CLOSE) {
            if (message == WM_RBUTTONDOWN) {
                p.entryState = kEntryCancel;
                return 0;
            }
            return DefWindowProcA(hwnd, message, wParam, lParam);
        }

        // The window's pixels are device pixels; the panel works in panel units.
        const int x = editor->ToPanel(SignedLow(lParam));
        const int y = editor->ToPanel(SignedHigh(static_cast<DWORD_PTR>(lParam)));
        switch (message) {
        case WM_PAINT: {
            IRectangle regions[kDirtyRegions];
            const int count = p.UpdateRegions(regions);
            // EndPaint ends the request even when a pass presented nothing (no controls).
            PAINTSTRUCT paint;
            p.paintDC = BeginPaint(hwnd, &paint);
            for (int i = 0; i < count; ++i)
                editor->PaintRegion(editor->ToPanel(regions[i]));
            p.paintDC = nullptr;
            EndPaint(hwnd, &paint);
            return 0;
        }
        case WM_CLOSE:
            editor->CloseEditorWindow();
            return 0;
        case kDpiChanged:
            // The new density comes with the message, the same on both axes.
            FollowDpi(*editor, LOWORD(wParam));
            return 0;
        case kDpiChangedAfterParent:
            editor->FollowMonitorScale(hwnd);
            return 0;
        case WM_TIMER:
            if (wParam == kTimerId)
                p.Tick(*editor);
            return 0;
        case WM_MOUSEMOVE:
            if ((wParam & (MK_LBUTTON | MK_RBUTTON)) != 0) {
                if (GetCapture() == hwnd)
                    editor->MouseDragged(x, y, KeysOf(wParam));
            } else if (editor->MouseHovered(x, y, KeysOf(wParam))) {
                TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, hwnd, HOVER_DEFAULT};
                TrackMouseEvent(&track);
            }
            return 0;
        case WM_RBUTTONDOWN:
            if (p.entry != nullptr) {
                p.entryState = kEntryCancel;
                return 0;
            }
            [[fallthrough]];
        case WM_LBUTTONDOWN:
            SetCapture(hwnd);
            editor->MousePressed(x, y, KeysOf(wParam));
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            ReleaseCapture();
            editor->MouseReleased(x, y);
            return 0;
        case WM_LBUTTONDBLCLK:
            if (editor->MouseDoubleClicked(x, y, KeysOf(wParam)))
                SetCapture(hwnd);
            return 0;
        case WM_MOUSEWHEEL: {
            // The wheel comes in screen coordinates.
            RECT r;
            GetWindowRect(hwnd, &r);
            editor->MouseWheeled(editor->ToPanel(SignedLow(lParam) - r.left),
                                 editor->ToPanel(SignedHigh(static_cast<DWORD_PTR>(lParam)) - r.top),
                                 KeysOf(wParam & 0xFFFF), SignedHigh(wParam) / WHEEL_DELTA);
            return 0;
        }
        case WM_MOUSELEAVE:
            editor->MouseExited();
            return 0;
        default:
            return DefWindowProcA(hwnd, message, wParam, lParam);
        }
    }

    // Replaces the entry window's own procedure while the entry is open.
    static LRESULT CALLBACK EntryProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        IGraphicsWindow* editor = EditorOf(hwnd);
        if (editor == nullptr || !editor->platform || editor->platform->entry != hwnd)
            return DefWindowProcA(hwnd, message, wParam, lParam);
        Platform& p = *editor->platform;
        switch (message) {
        case WM_SETFOCUS:
            p.entryState = kEntryTyping;
            break;
        case WM_KILLFOCUS:
            p.entryState = kEntryIdle;
            break;
        case WM_KEYDOWN:
            if (wParam == VK_RETURN) {
                p.entryState = kEntryCommit;
                return 0;
            }
            break;
        case WM_COMMAND:
            // From the list of a drop-down: the user picked an item.
            if (SignedHigh(wParam) == LBN_SELCHANGE) {
                p.entryState = kEntryCommit;
                return 0;
            }
            break;
        default:
            break;
        }
        return CallWindowProcA(p.entryPrevious, hwnd, message, wParam, lParam);
    }

    // Unless the scale was chosen, the panel takes dpi, and the host hears of the new size.
    static void FollowDpi(IGraphicsWindow& editor, UINT dpi) {
        if (editor.ScaleChosen() || dpi == 0)
            return;
        const double wanted = static_cast<double>(dpi) / kBaseDpi;
        if (wanted == editor.Scale())
            return;
        editor.SetScale(wanted);
        if (editor.Parameters())
            editor.Parameters()->PanelSizeChanged(editor.Width(), editor.Height());
    }

    static UINT_PTR CALLBACK ColourHook(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            const auto* record = reinterpret_cast<const CHOOSECOLORA*>(lParam);
            if (record != nullptr && record->lCustData != 0)
                SetWindowTextA(dialog, reinterpret_cast<const char*>(record->lCustData));
        }
        return 0;
    }
};

void IGraphicsWindow::PlatformDeleter::operator()(Platform* state) const {
    delete state;
}

double IGraphicsWindow::SystemScale() {
    return static_cast<double>(DpiOf(nullptr)) / kBaseDpi;
}

void IGraphicsWindow::FollowMonitorScale(HWND window) {
    Platform::FollowDpi(*this, DpiOf(window));
}

void* IGraphicsWindow::OpenEditorWindow(void* parentWindow) {
    Platform& p = Platform::Of(*this);
    // Unless a host chose the scale, the panel takes the density of the monitor it opens on.
    FollowMonitorScale(static_cast<HWND>(parentWindow));
    int x = 0;
    int y = 0;
    int w = DeviceWidth();
    int h = DeviceHeight();
    p.parent = static_cast<HWND>(parentWindow);
    if (p.window != nullptr) {
        // Reopened without a close: the new window takes the old one's place and size,
        // in the client coordinates of the window that held it.
        RECT old;
        GetWindowRect(p.window, &old);
        MapWindowPoints(nullptr, GetParent(p.window), reinterpret_cast<POINT*>(&old), 2);
        x = old.left;
        y = old.top;
        w = old.right - old.left;
        h = old.bottom - old.top;
        CloseEditorWindow();
    }

    const HINSTANCE instance = Platform::Instance(*this);
    if (gClassRegistrations++ == 0) {
        WNDCLASSA windowClass{};
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = &Platform::WindowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kClassName;
        RegisterClassA(&windowClass);
    }
    gFrameRate = Fps();
    HWND window = CreateWindowExA(0, kClassName, kWindowTitle, WS_CHILD | WS_VISIBLE, x, y, w, h,
                                  p.parent, nullptr, instance, this);
    if (window == nullptr) {
        if (--gClassRegistrations == 0)
            UnregisterClassA(kClassName, instance);
        return nullptr;
    }
    p.window = window;
    MarkAllControlsDirty();
    return window;
}

void IGraphicsWindow::CloseEditorWindow() {
    if (!platform || platform->window == nullptr)
        return;
    Platform& p = *platform;
    // The entry is a child of the window and would go with it, its fields left stale.
    p.EndEntry();
    HWND window = p.window;
    p.window = nullptr;
    DestroyWindow(window);
    if (--gClassRegistrations == 0)
        UnregisterClassA(kClassName, Platform::Instance(*this));
}

void* IGraphicsWindow::WindowHandle() {
    return platform ? platform->window : nullptr;
}

void IGraphicsWindow::EditorIdle() {
    // The window's own timer refreshes it.
}

int IGraphicsWindow::EventDescriptor() const {
    return -1;
}

bool IGraphicsWindow::PresentRegion(const IRectangle& rect) {
    const RAS_IBitmap* drawSurface = Surface();
    if (!platform || platform->window == nullptr || drawSurface == nullptr)
        return true;
    const IRectangle device = ToDevice(rect);
    // Within WM_PAINT onto its context, which holds the update region as its clip;
    // otherwise straight onto the window.
    HDC paintDC = platform->paintDC;
    HDC screen = paintDC != nullptr ? paintDC : GetDC(platform->window);
    if (screen != nullptr)
        BitBlt(screen, device.L, device.T, device.Width(), device.Height(),
               static_cast<HDC>(drawSurface->DeviceContext()), device.L, device.T, SRCCOPY);
    if (paintDC == nullptr && screen != nullptr)
        ReleaseDC(platform->window, screen);
    return true;
}

void IGraphicsWindow::OpenValueEntry(IControl* control, const IParameter* parameter) {
    Platform& p = Platform::Of(*this);
    if (control == nullptr || parameter == nullptr || p.entry != nullptr || p.window == nullptr)
        return;
    const IRectangle r = ToDevice(control->Rect());
    const int cx = static_cast<int>(static_cast<float>(r.L + r.R) * 0.5f);
    const int cy = static_cast<int>(static_cast<float>(r.T + r.B) * 0.5f);
    char text[kParameterTextSize];
    parameter->FormatForHost(parameter->Value(), false, text);

    const HINSTANCE instance = Platform::Instance(*this);
    const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEntryId));
    const int count = parameter->ValueTextCount();
    HWND entry;
    if (count > 0) {
        // A list as wide as its longest text, dropping down from the control's middle.
        int listWidth = 24;
        int selection = -1;
        for (int i = 0; i < count; ++i) {
            const char* item = parameter->ValueTextFor(i);
            listWidth = std::max(listWidth, static_cast<int>(std::strlen(item)) * 8 + 24);
            if (std::strcmp(item, text) == 0)
                selection = i;
        }
        listWidth = ToDevice(listWidth);
        entry = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST,
                                cx - listWidth / 2, cy, listWidth, ToDevice(36 * (count + 1)),
                                p.window, id, instance, nullptr);
        if (entry == nullptr)
            return;
        for (int i = 0; i < count; ++i)
            SendMessageA(entry, CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(parameter->ValueTextFor(i)));
        SendMessageA(entry, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
    } else {
        entry = CreateWindowExA(0, "EDIT", text, WS_CHILD | WS_VISIBLE | ES_CENTER | ES_MULTILINE,
                                cx - ToDevice(18), cy - ToDevice(8), ToDevice(36), ToDevice(16),
                                p.window, id, instance, nullptr);
        if (entry == nullptr)
            return;
    }
    p.entry = entry;
    p.entryPrevious = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(entry, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Platform::EntryProc)));
    SetWindowLongPtrA(entry, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    p.entryFont = CreateFontA(ToDevice(14), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    SendMessageA(entry, WM_SETFONT, reinterpret_cast<WPARAM>(p.entryFont), 0);
    p.entryControl = control;
    p.entryParameter = parameter;
}

bool IGraphicsWindow::DrawLabel(const ITextStyle& style, const char* text, const IRectangle& rect) {
    if (text == nullptr)
        return true;
    const RAS_IBitmap* drawSurface = Surface();
    const auto dc = static_cast<HDC>(drawSurface ? drawSurface->DeviceContext() : nullptr);
    if (dc == nullptr)
        return false;
    Platform& p = Platform::Of(*this);
    const IDrawColor& colour = style.colour;
    if (!p.fontSet) {
        // The first label's font serves every later label.
        p.labelFont = CreateFontA(ToDevice(style.size), 0, style.orientation * 10, style.orientation * 10,
                                  style.style == 1 ? FW_BOLD : 0, style.style == 2, 0, 0, 0, 0, 0,
                                  0, 0, style.font);
        p.labelDC = dc;
        p.labelPrevious = SelectObject(dc, p.labelFont);
        SetBkMode(dc, TRANSPARENT);
        p.fontSet = true;
        SetTextColor(dc, RGB(colour.R, colour.G, colour.B));
        p.textColour = colour;
    } else if (colour.A != p.textColour.A || colour.R != p.textColour.R ||
               colour.G != p.textColour.G || colour.B != p.textColour.B) {
        SetTextColor(dc, RGB(colour.R, colour.G, colour.B));
        p.textColour = colour;
    }
    UINT format = DT_NOCLIP;
    if (style.alignment == 1)
        format |= DT_CENTER;
    else if (style.alignment == 2)
        format |= DT_RIGHT;
    RECT r = ToRect(ToDevice(rect));
    return DrawTextA(dc, text, static_cast<int>(std::strlen(text)), &r, format) != 0;
}

void IGraphicsWindow::ResizeWindow(int widthChange, int heightChange) {
    if (!platform || platform->window == nullptr)
        return;
    Platform& p = *platform;
    // The entry's control is gone with the others.
    p.EndEntry();
    RECT own;
    GetWindowRect(p.window, &own);
    HWND holder = IsPlainChild(p.window) ? GetParent(p.window) : nullptr;
    HWND outer = holder != nullptr && IsPlainChild(holder) ? GetParent(holder) : nullptr;
    GrowWindow(p.window, widthChange, heightChange);
    for (HWND window : {holder, outer})
        if (window != nullptr)
            GrowWindow(window, widthChange, heightChange);
    const RECT old{0, 0, own.right - own.left, own.bottom - own.top};
    InvalidateRect(p.window, &old, FALSE);
}

// out holds at least 256 bytes.
void IGraphicsWindow::HostDirectory(char* out) {
    DirectoryOf(nullptr, out);
}

// out holds at least 256 bytes.
void IGraphicsWindow::ModuleDirectory(char* out) {
    DirectoryOf(Platform::Instance(*this), out);
}

// out holds at least 256 bytes; the dialog filters nothing, so extensions go unused.
void IGraphicsWindow::AskForFile(char* out, int action, const char* directory, const char*) {
    out[0] = '\0';
    if (!platform || platform->window == nullptr)
        return;
    char file[kPathSize] = {};
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = platform->window;
    dialog.lpstrFile = file;
    dialog.nMaxFile = kPathSize - 1;
    if (directory != nullptr && directory[0] != '\0')
        dialog.lpstrInitialDir = directory;
    bool chosen;
    if (action == 1) {
        dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
        chosen = GetSaveFileNameA(&dialog) != 0;
    } else {
        dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
        chosen = GetOpenFileNameA(&dialog) != 0;
    }
    if (chosen)
        std::memcpy(out, file, kPathSize);
}

bool IGraphicsWindow::AskForColor(IDrawColor* colour, const char* caption) {
    if (!platform || platform->window == nullptr)
        return false;
    Platform& p = *platform;
    if (!p.customColours)
        p.customColours = std::make_unique<COLORREF[]>(16);
    CHOOSECOLORA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = p.window;
    dialog.rgbResult = RGB(colour->R, colour->G, colour->B);
    dialog.lpCustColors = p.customColours.get();
    dialog.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK | CC_SOLIDCOLOR | CC_ANYCOLOR;
    dialog.lCustData = reinterpret_cast<LPARAM>(caption);
    dialog.lpfnHook = &Platform::ColourHook;
    if (ChooseColorA(&dialog) == 0)
        return false;
    colour->R = GetRValue(dialog.rgbResult);
    colour->G = GetGValue(dialog.rgbResult);
    colour->B = GetBValue(dialog.rgbResult);
    return true;
}

bool IGraphicsWindow::OpenLink(const char* address, const char* caption, const char* confirmation,
                               const char* error) {
    const auto window = static_cast<HWND>(WindowHandle());
    if (confirmation != nullptr && MessageBoxA(window, confirmation, caption, MB_YESNO) != IDYES)
        return false;
    DWORD connection = 0;
    if (InternetGetConnectedState(&connection, 0) &&
        reinterpret_cast<INT_PTR>(
            ShellExecuteA(window, "open", address, nullptr, nullptr, SW_SHOWNORMAL)) > 32)
        return true;
    if (error != nullptr)
        MessageBoxA(window, error, caption, MB_OK);
    return false;
}
