// The editor window inside a host's window, driven as a host and a user drive it:
// effEditOpen with our own top-level window, posted mouse and key messages, a message
// loop for the timer. What the window shows is compared with the reference effect's
// surface painted in full at the same parameter values and scale, also at 192 dpi.
#include "IGraphicsWindow.h"
#include "PanelPicture.h"
#include "PluginModule.h"
#include "Quelor.h"
#include "QuelorEditorFactory.h"
#include "raster/RAS_Bitmap.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr char kEditorClass[] = "IEffectWndClass";
constexpr int kThreshold = Quelor::kThreshold;
constexpr int kStereoMode = Quelor::kStereoMode;
constexpr int kBrickwall = Quelor::kBrickwall;
// Middle of the "Threshold" knob and of the "Stereo Mode" and "Brickwall" switches, in
// panel pixels.
constexpr int kKnobX = 54, kKnobY = 214;
constexpr int kSwitchX = 107, kSwitchY = 300;
constexpr int kBrickwallX = 280, kBrickwallY = 300;
constexpr UINT kDpiChanged = 0x02E0;

LPARAM At(int x, int y) {
    return static_cast<LPARAM>((static_cast<DWORD>(y) & 0xFFFF) << 16 |
                               (static_cast<DWORD>(x) & 0xFFFF));
}

// Runs the message loop, where the editor's timer ticks, until done() holds or three
// seconds have passed; says whether done() held.
template <class Condition> bool PumpUntil(Condition done, DWORD ms = 3000) {
    const DWORD start = GetTickCount();
    for (MSG message; !done(); Sleep(1)) {
        if (GetTickCount() - start >= ms)
            return false;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return true;
}

HWND MakeWindow(HWND parent, DWORD style, int width, int height) {
    static const ATOM hostClass = [] {
        WNDCLASSA c{};
        c.lpfnWndProc = DefWindowProcA;
        c.hInstance = GetModuleHandleA(nullptr);
        c.lpszClassName = "QuelorTestHost";
        return RegisterClassA(&c);
    }();
    EXPECT_NE(hostClass, 0);
    return CreateWindowExA(0, "QuelorTestHost", "host", style | WS_VISIBLE, 0, 0, width, height,
                           parent, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// The host's top-level window, one for the program: wine without a window manager takes
// two seconds to destroy one, so the windows tests destroy are its children. It stands
// away from the screen's origin, so that screen and client coordinates differ.
HWND TopLevel() {
    static const HWND window = [] {
        const HWND made = MakeWindow(nullptr, WS_OVERLAPPEDWINDOW, 700, 500);
        SetWindowPos(made, nullptr, 60, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        return made;
    }();
    return window;
}

// Left, top, right, bottom of window in the client coordinates of ancestor.
std::vector<long> Placement(HWND window, HWND ancestor) {
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, ancestor, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right, r.bottom};
}

// The size and style each window was created with, as a hook sees it made.
struct Creation {
    std::string kind;
    std::vector<long> placement; // x, y, width, height
    LONG style;
};
std::vector<Creation> gCreations;

LRESULT CALLBACK RecordCreation(int code, WPARAM window, LPARAM details) {
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTA& c = *reinterpret_cast<CBT_CREATEWNDA*>(details)->lpcs;
        char kind[64] = {};
        GetClassNameA(reinterpret_cast<HWND>(window), kind, sizeof kind);
        gCreations.push_back({kind, {c.x, c.y, c.cx, c.cy}, c.style});
    }
    return CallNextHookEx(nullptr, code, window, details);
}

bool ClassRegistered() {
    WNDCLASSA c;
    return GetClassInfoA(GetModuleHandleA("Quelor.dll"), kEditorClass, &c) != 0;
}

std::string WindowText(HWND window) {
    char text[64] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// 0xRRGGBB per pixel, rows packed, as the window shows its client area.
std::vector<uint32_t> Shown(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), r.right, -r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ before = SelectObject(memory, dib);
    HDC screen = GetDC(window);
    BitBlt(memory, 0, 0, r.right, r.bottom, screen, 0, 0, SRCCOPY);
    ReleaseDC(window, screen);
    const auto* first = static_cast<const uint32_t*>(bits);
    std::vector<uint32_t> pixels(first, first + r.right * r.bottom);
    for (uint32_t& p : pixels)
        p &= 0xFFFFFF;
    SelectObject(memory, before);
    DeleteDC(memory);
    DeleteObject(dib);
    return pixels;
}

// What the surface holds after a full paint pass at these normalized values and scale.
std::vector<uint32_t> Painted(const std::vector<std::pair<int, float>>& settings,
                              double scale = 1.0) {
    Quelor reference(&QuelorEditorFactory());
    for (const auto& [index, value] : settings)
        reference.SetParameterFromHost(index, static_cast<double>(value), IValueUnit::kNormalized);
    reference.EnsureEditor();
    auto* panel = dynamic_cast<IGraphicsRaster*>(reference.Editor());
    panel->SetScale(scale);
    panel->PaintRegion({0, 0, panel->Width(), panel->Height()});
    const RAS_IBitmap& surface = *panel->Surface();
    std::vector<uint32_t> pixels;
    for (int y = 0; y < surface.PixelHeight(); ++y)
        for (int x = 0; x < surface.PixelWidth(); ++x)
            pixels.push_back(surface.Pixels()[y * surface.StridePixels() + x] & 0xFFFFFF);
    return pixels;
}

// The rectangle of the reference panel's control under a point, at 1x.
RECT ControlRect(int x, int y) {
    Quelor reference(&QuelorEditorFactory());
    reference.EnsureEditor();
    const auto& panel = dynamic_cast<const IDrawContext&>(*reference.Editor());
    const IRectangle r = panel.ControlAt(panel.FindControlAt(x, y))->Rect();
    return {r.L, r.T, r.R, r.B};
}

// pixels, a 510 x 370 panel, within rects; black elsewhere.
std::vector<uint32_t> Within(const std::vector<uint32_t>& pixels, const std::vector<RECT>& rects) {
    std::vector<uint32_t> kept(pixels.size(), 0);
    for (const RECT& r : rects)
        for (LONG y = r.top; y < r.bottom; ++y)
            for (LONG x = r.left; x < r.right; ++x) {
                const auto i = static_cast<std::size_t>(y * 510 + x);
                kept[i] = pixels[i];
            }
    return kept;
}

void Blacken(HWND window) {
    RECT all;
    GetClientRect(window, &all);
    HDC dc = GetDC(window);
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ReleaseDC(window, dc);
}

class EditorWindow : public ::testing::Test {
protected:
    EditorWindow()
        : hook(SetWindowsHookExA(WH_CBT, RecordCreation, nullptr, GetCurrentThreadId())) {
        plugin.OpenLikeHost(44100.0f, 512);
        gCreations.clear();
    }
    ~EditorWindow() override {
        plugin.Dispatch(effEditClose);
        plugin.Close();
        UnhookWindowsHookEx(hook);
    }

    static HWND Open(const PluginInstance& instance, HWND parent) {
        EXPECT_EQ(instance.Dispatch(effEditOpen, 0, 0, parent), 1);
        return FindWindowExA(parent, nullptr, kEditorClass, nullptr);
    }
    HWND Open() const { return Open(plugin, host); }

    static HWND Entry(HWND editor, const char* kind) {
        return FindWindowExA(editor, nullptr, kind, nullptr);
    }
    // Posts a right-click; with a kind, waits for an entry of that kind and gives it.
    static HWND RightClick(HWND editor, int x, int y, const char* kind = nullptr) {
        PostMessageA(editor, WM_RBUTTONDOWN, MK_RBUTTON, At(x, y));
        PostMessageA(editor, WM_RBUTTONUP, 0, At(x, y));
        if (kind != nullptr)
            PumpUntil([&] { return Entry(editor, kind) != nullptr; });
        return kind != nullptr ? Entry(editor, kind) : nullptr;
    }
    static bool Gone(HWND editor, const char* kind) {
        return PumpUntil([&] { return Entry(editor, kind) == nullptr; });
    }
    static const Creation& LastMade(const char* kind) {
        static const Creation none{};
        for (auto c = gCreations.rbegin(); c != gCreations.rend(); ++c)
            if (lstrcmpiA(c->kind.c_str(), kind) == 0)
                return *c;
        return none;
    }

    CheckerHost checker;
    PluginInstance plugin;
    HWND host = TopLevel();
    HHOOK hook;
};

TEST_F(EditorWindow, OpensInsideTheHostWindowAndShowsTheSurface) {
    ERect* rect = nullptr;
    ASSERT_EQ(plugin.Dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(std::vector<int>({rect->top, rect->left, rect->bottom, rect->right}),
              std::vector<int>({0, 0, 370, 510}));

    const HWND editor = Open();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(GetParent(editor), host);
    EXPECT_EQ(WindowText(editor), "IEffect");
    EXPECT_EQ(Placement(editor, host), std::vector<long>({0, 0, 510, 370}));
    const std::vector<uint32_t> painted = Painted({});
    EXPECT_TRUE(PumpUntil([&] { return Shown(editor) == painted; }))
        << "the window shows what the surface holds";
    EXPECT_TRUE(WritePanelPicture(QUELOR_SCREENSHOT_PATH, Shown(editor).data(), 510, 370));
}

// Each rectangle of the update region is painted apart, and nothing between: for an expose
// of two corners, and for the timer's pass over two controls with others between them.
TEST_F(EditorWindow, APassPaintsEachRectangleOfTheUpdateRegionAndNothingBetween) {
    const HWND editor = Open();
    ASSERT_TRUE(PumpUntil([&] { return Shown(editor) == Painted({}); }));
    // Controls given values before the window opened draw once more; then all is still.
    PumpUntil([] { return false; }, 100);
    struct Case {
        std::vector<std::pair<int, float>> settings; // none: the rectangles are exposed
        std::vector<RECT> shown;
    };
    for (const Case& c : {Case{{}, {{0, 0, 60, 40}, {420, 320, 510, 370}}},
                          Case{{{kThreshold, 0.25f}, {kBrickwall, 0.0f}},
                               {ControlRect(kKnobX, kKnobY),
                                ControlRect(kBrickwallX, kBrickwallY)}}}) {
        Blacken(editor);
        for (const RECT& r : c.shown)
            if (c.settings.empty())
                InvalidateRect(editor, &r, FALSE);
        UpdateWindow(editor);
        for (const auto& [index, value] : c.settings)
            plugin.Set(index, value);
        const std::vector<uint32_t> expected = Within(Painted(c.settings), c.shown);
        EXPECT_TRUE(PumpUntil([&] { return Shown(editor) == expected; }))
            << c.shown.size() << " rectangles, " << c.settings.size() << " settings";
    }
}

TEST_F(EditorWindow, AKnobDragMovesItsParameterByTheGearingAndTheHostSeesTheEdit) {
    plugin.Set(kThreshold, 0.5f);
    const HWND editor = Open();
    checker.ClearLog();
    PostMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(kKnobX, kKnobY));
    PostMessageA(editor, WM_MOUSEMOVE, MK_LBUTTON, At(kKnobX, kKnobY - 30));
    PostMessageA(editor, WM_MOUSEMOVE, MK_LBUTTON, At(kKnobX, kKnobY - 48));
    PostMessageA(editor, WM_LBUTTONUP, 0, At(kKnobX, kKnobY - 48));
    PumpUntil([&] { return checker.CountOf(audioMasterEndEdit) > 0; });
    EXPECT_FLOAT_EQ(plugin.Get(kThreshold), 0.75f) << "48 pixels up, a quarter turn";
    std::vector<std::pair<int32_t, int32_t>> edits;
    for (const HostCall& call : checker.Calls())
        if (call.opcode == audioMasterBeginEdit || call.opcode == audioMasterAutomate ||
            call.opcode == audioMasterEndEdit)
            edits.emplace_back(call.opcode, call.index);
    EXPECT_EQ(edits, (std::vector<std::pair<int32_t, int32_t>>{{audioMasterBeginEdit, kThreshold},
                                                               {audioMasterAutomate, kThreshold},
                                                               {audioMasterAutomate, kThreshold},
                                                               {audioMasterEndEdit, kThreshold}}));
    const std::vector<uint32_t> turned = Painted({{kThreshold, 0.75f}});
    EXPECT_TRUE(PumpUntil([&] { return Shown(editor) == turned; })) << "the timer redraws";

    // A wheel notch (in screen coordinates) is one step; half a notch none, though the
    // control still reports its value. A double-click goes back to the default.
    POINT screen{kKnobX, kKnobY};
    ClientToScreen(editor, &screen);
    checker.ClearLog();
    PostMessageA(editor, WM_MOUSEWHEEL, WHEEL_DELTA << 16, At(screen.x, screen.y));
    PostMessageA(editor, WM_MOUSEWHEEL, (WHEEL_DELTA / 2) << 16, At(screen.x, screen.y));
    EXPECT_TRUE(PumpUntil([&] { return checker.CountOf(audioMasterAutomate) == 2; }));
    EXPECT_NEAR(plugin.Get(kThreshold), 0.76f, 1e-6);
    PostMessageA(editor, WM_LBUTTONDBLCLK, MK_LBUTTON, At(kKnobX, kKnobY));
    PostMessageA(editor, WM_LBUTTONUP, 0, At(kKnobX, kKnobY));
    EXPECT_TRUE(PumpUntil([&] { return plugin.Get(kThreshold) == 1.0f; }));
}

TEST_F(EditorWindow, ARightClickOnAChoiceOpensItsListAndAPickSetsItAtTheNextTick) {
    plugin.Set(kStereoMode, 0.5f); // "Maximum"
    const HWND editor = Open();
    const HWND list = RightClick(editor, kSwitchX, kSwitchY, "COMBOBOX");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(GetDlgCtrlID(list), 99);
    // "Dual Mono", 9 characters, sets the width: 9 x 8 + 24; 36 pixels per text and one more.
    EXPECT_EQ(LastMade("COMBOBOX").placement,
              std::vector<long>({kSwitchX - 48, kSwitchY, 96, 144}));
    EXPECT_EQ(LastMade("COMBOBOX").style, WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST);
    EXPECT_EQ(SendMessageA(list, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), 1);

    SendMessageA(list, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(plugin.Get(kStereoMode), 0.5f) << "taken at the tick, not at once";
    EXPECT_TRUE(Gone(editor, "COMBOBOX"));
    EXPECT_EQ(plugin.Get(kStereoMode), 1.0f) << "Dual Mono";
}

TEST_F(EditorWindow, ARightClickOnAKnobOpensATextFieldThatFollowsTheValueUntilTyping) {
    plugin.Set(kThreshold, 0.5f);
    const HWND editor = Open();
    const HWND field = RightClick(editor, kKnobX, kKnobY, "EDIT");
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(GetDlgCtrlID(field), 99);
    EXPECT_EQ(Placement(field, editor),
              std::vector<long>({kKnobX - 18, kKnobY - 8, kKnobX + 18, kKnobY + 8}));
    EXPECT_EQ(LastMade("EDIT").style, WS_CHILD | WS_VISIBLE | ES_CENTER | ES_MULTILINE);
    EXPECT_EQ(WindowText(field), plugin.Text(effGetParamDisplay, kThreshold));

    // Idle, the text follows the host's automation; with the focus it keeps still.
    plugin.Set(kThreshold, 0.25f);
    EXPECT_TRUE(PumpUntil(
        [&] { return WindowText(field) == plugin.Text(effGetParamDisplay, kThreshold); }));
    const std::string before = WindowText(field);
    SetFocus(field);
    plugin.Set(kThreshold, 0.5f);
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(WindowText(field), before);

    SendMessageA(field, EM_SETSEL, 0, -1);
    for (char c : std::string("-12"))
        PostMessageA(field, WM_CHAR, static_cast<WPARAM>(c), 0);
    PostMessageA(field, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(Gone(editor, "EDIT"));
    EXPECT_FLOAT_EQ(plugin.Get(kThreshold), 0.8f) << "-12 dB of -60 to 0";
}

TEST_F(EditorWindow, AnEntryEndsOnARightClickOrWithTheWindowAndANewOneOpensAfter) {
    HWND editor = Open();
    ASSERT_NE(RightClick(editor, kKnobX, kKnobY, "EDIT"), nullptr);
    RightClick(editor, 300, 20);
    EXPECT_TRUE(Gone(editor, "EDIT"));
    EXPECT_EQ(plugin.Get(kThreshold), 1.0f);

    ASSERT_NE(RightClick(editor, kKnobX, kKnobY, "EDIT"), nullptr);
    plugin.Dispatch(effEditClose);
    editor = Open();
    EXPECT_NE(RightClick(editor, kKnobX, kKnobY, "EDIT"), nullptr);
}

TEST_F(EditorWindow, TwoEditorsShareOneClassRegistrationUntilTheLastCloses) {
    EXPECT_FALSE(ClassRegistered());
    PluginInstance second;
    const HWND secondHost = MakeWindow(host, WS_CHILD, 600, 450);
    ASSERT_NE(Open(), nullptr);
    ASSERT_NE(Open(second, secondHost), nullptr);
    EXPECT_TRUE(ClassRegistered());
    plugin.Dispatch(effEditClose);
    EXPECT_TRUE(ClassRegistered());
    second.Dispatch(effEditClose);
    EXPECT_FALSE(ClassRegistered());
    DestroyWindow(secondHost);
}

TEST_F(EditorWindow, ReopeningKeepsPlaceAndSizeAndAHostsDestroyedWindowIsForgotten) {
    HWND frame = MakeWindow(host, WS_CHILD, 600, 450);
    SetWindowPos(Open(plugin, frame), nullptr, 10, 20, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE);
    const HWND editor = Open(plugin, frame);
    EXPECT_EQ(FindWindowExA(frame, editor, kEditorClass, nullptr), nullptr) << "only one";
    EXPECT_EQ(Placement(editor, frame), std::vector<long>({10, 20, 310, 220}));

    // A host may destroy its window before it closes the editor, or never close it.
    DestroyWindow(frame);
    frame = MakeWindow(host, WS_CHILD, 600, 450);
    EXPECT_EQ(Placement(Open(plugin, frame), frame), std::vector<long>({0, 0, 510, 370}));
    plugin.Dispatch(effEditClose);
    EXPECT_FALSE(ClassRegistered());
    DestroyWindow(frame);
}

// The desktop's density, which wine reads when a program starts: the user's, else the
// machine's; and the one wine's font cache notes it was made for.
struct DpiSetting {
    HKEY root;
    const char* key;
    DWORD before;
    bool present;
};

// The tests that filter names, run by a second run of this program with the desktop at dpi
// meanwhile and as it was after; the run's status.
DWORD RunAtDpi(DWORD dpi, const char* filter) {
    DpiSetting settings[] = {
        {HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, false},
        {HKEY_LOCAL_MACHINE,
         "System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts", 0, false},
        {HKEY_CURRENT_USER, "Software\\Wine\\Fonts", 0, false}};
    for (DpiSetting& s : settings) {
        DWORD size = sizeof s.before;
        s.present = RegGetValueA(s.root, s.key, "LogPixels", RRF_RT_REG_DWORD, nullptr, &s.before,
                                 &size) == ERROR_SUCCESS;
        // The density itself is what a run killed before it could put the desktop back
        // left: the prefix is the suite's own, and wine's own density is put back instead.
        if (s.present && s.before == dpi)
            s.before = 96;
        RegSetKeyValueA(s.root, s.key, "LogPixels", REG_DWORD, &dpi, sizeof dpi);
    }
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string command = std::string("\"") + program + "\" --gtest_filter=" + filter;
    STARTUPINFOA start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION run{};
    DWORD status = 1;
    SetEnvironmentVariableA("QUELOR_DPI_RUN", "1");
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                       &run)) {
        // A hung run ends here, so that the desktop is put back all the same.
        if (WaitForSingleObject(run.hProcess, 120000) != WAIT_OBJECT_0)
            TerminateProcess(run.hProcess, 1);
        GetExitCodeProcess(run.hProcess, &status);
        CloseHandle(run.hThread);
        CloseHandle(run.hProcess);
    }
    SetEnvironmentVariableA("QUELOR_DPI_RUN", nullptr);
    for (const DpiSetting& s : settings)
        if (s.present)
            RegSetKeyValueA(s.root, s.key, "LogPixels", REG_DWORD, &s.before, sizeof s.before);
        else
            RegDeleteKeyValueA(s.root, s.key, "LogPixels");
    return status;
}

// wine reads the desktop's density once, when a program starts: the checks at 192 dpi
// run in a run of their own. The suite holds the prefix, so no other program sees the
// density changed.
TEST(MonitorDpi, TheEditorChecksAt192DpiPass) {
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr)
        GTEST_SKIP() << "Windows itself reads the density at sign-in";
    EXPECT_EQ(RunAtDpi(192, "AtMonitorDpi.*"), 0u);
}

// At 192 dpi the editor opens at 2x, showing the panel drawn at 2x; told that its monitor
// has another density, it follows.
TEST(AtMonitorDpi, TheEditorOpensAtTheMonitorsScaleAndFollowsAChange) {
    if (GetEnvironmentVariableA("QUELOR_DPI_RUN", nullptr, 0) == 0)
        GTEST_SKIP() << "run at 192 dpi by MonitorDpi";
    SetWindowPos(TopLevel(), nullptr, 0, 0, 1100, 850, SWP_NOMOVE | SWP_NOZORDER);
    CheckerHost checker;
    PluginInstance plugin;
    plugin.OpenLikeHost(44100.0f, 512);
    ERect* rect = nullptr;
    ASSERT_EQ(plugin.Dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(std::vector<int>({rect->right, rect->bottom}), std::vector<int>({1020, 740}));
    ASSERT_EQ(plugin.Dispatch(effEditOpen, 0, 0, TopLevel()), 1);
    const HWND editor = FindWindowExA(TopLevel(), nullptr, kEditorClass, nullptr);
    const std::vector<uint32_t> twice = Painted({}, 2.0);
    EXPECT_TRUE(PumpUntil([&] { return Shown(editor) == twice; }));
    EXPECT_TRUE(WritePanelPicture(QUELOR_SCREENSHOT_2X_PATH, Shown(editor).data(), 1020, 740));

    SendMessageA(editor, kDpiChanged, MAKEWPARAM(144, 144), 0);
    const std::vector<uint32_t> reduced = Painted({}, 1.5);
    EXPECT_TRUE(PumpUntil([&] { return Shown(editor) == reduced; })) << "at 1.5x";
    plugin.Dispatch(effEditClose);
}

// What no host reaches, on the reference effect's own editor in this program.
TEST(EditorWindowServices, ResizingGrowsTheWindowAndTheHostWindowsHoldingItAndLabelsDraw) {
    Quelor reference(&QuelorEditorFactory());
    reference.EnsureEditor();
    auto* editor = dynamic_cast<IGraphicsWindow*>(reference.Editor());
    ITextStyle style;
    style.size = 20;
    style.colour = {255, 255, 255, 0};
    EXPECT_TRUE(editor->DrawLabel(style, "Quelor", {0, 0, 100, 30}));
    const RAS_IBitmap& surface = *editor->Surface();
    int yellow = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 100; ++x)
            yellow += (surface.Pixels()[y * surface.StridePixels() + x] & 0xFFFFFF) == 0xFFFF00;
    EXPECT_GT(yellow, 20);

    const HWND outer = MakeWindow(TopLevel(), WS_CHILD, 600, 450);
    const HWND holder = MakeWindow(outer, WS_CHILD, 520, 380);
    const auto window = static_cast<HWND>(editor->OpenEditorWindow(holder));
    ASSERT_NE(window, nullptr);
    editor->ResizeEditor(560, 400);
    EXPECT_EQ(Placement(window, holder), std::vector<long>({0, 0, 560, 400}));
    EXPECT_EQ(Placement(holder, outer), std::vector<long>({0, 0, 570, 410}));
    EXPECT_EQ(Placement(outer, TopLevel()), std::vector<long>({0, 0, 650, 480}));
    EXPECT_EQ(std::pair(surface.PixelWidth(), surface.PixelHeight()), std::pair(560, 400));
    editor->CloseEditorWindow();
    DestroyWindow(outer);
}

} // namespace
