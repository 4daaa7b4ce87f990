// What only the Windows build has: the record as a host of this width reads it, the
// images as resources of the DLL, the drawing surface as a GDI DIB section, the
// critical-section plug-in lock, and SSE2 arithmetic (chosen for the 32-bit build).
#include "DenormalMode.h"
#include "PlugLock.h"
#include "PluginModule.h"
#include "raster/RAS_Bitmap.h"
#include "raster/RAS_PNG.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

namespace {

// A host finds the record's fields at the published byte offsets for its own width:
// 144 bytes on 32-bit Windows, 192 on 64-bit, where pointers and intptr_t widen and
// int32_t fields do not.
TEST(WindowsRecord, FieldsAtThePublishedOffsetsForThisWidth) {
    constexpr bool wide = sizeof(void*) == 8;
    static_assert(sizeof(AEffect) == (wide ? 192 : 144));
    PluginInstance plug;
    const auto* bytes = reinterpret_cast<const unsigned char*>(plug.Record());
    const auto at = [bytes](std::size_t offset, auto model) {
        decltype(model) value;
        std::memcpy(&value, bytes + offset, sizeof value);
        return value;
    };
    EXPECT_EQ(at(0, int32_t{}), kEffectMagic);
    EXPECT_EQ(at(wide ? 8 : 4, AEffectDispatcherProc{}), plug.Record()->dispatcher);
    EXPECT_EQ(at(wide ? 40 : 20, int32_t{}), 1) << "numPrograms";
    EXPECT_EQ(at(wide ? 52 : 32, int32_t{}), 2) << "numOutputs";
    EXPECT_EQ(at(wide ? 56 : 36, int32_t{}), plug.Record()->flags);
    EXPECT_EQ(at(wide ? 92 : 60, float{}), 1.0f) << "ioRatio";
    EXPECT_EQ(at(wide ? 96 : 64, static_cast<void*>(nullptr)), plug.Record()->object);
    EXPECT_EQ(at(wide ? 112 : 72, int32_t{}), 0x516C7231) << "uniqueID";
    EXPECT_EQ(at(wide ? 116 : 76, int32_t{}), 10000) << "version";
    EXPECT_EQ(at(wide ? 128 : 84, AEffectProcessDoubleProc{}),
              plug.Record()->processDoubleReplacing);
}

TEST(WindowsModule, TheImagesAreResourcesOfTheDll) {
    PluginModule::Get();
    const HMODULE dll = GetModuleHandleA("Quelor.dll");
    ASSERT_NE(dll, nullptr);
    struct Image {
        int id, width, height;
    };
    // The panel's six and the strip's two at 1x; a few of the same drawn at 2x and 3x.
    const Image images[] = {{100, 510, 370},  {101, 48, 2448},  {102, 15, 80},  {103, 15, 120},
                            {104, 20, 620},   {105, 22, 1},     {106, 510, 140}, {107, 66, 32},
                            {200, 1020, 740}, {307, 198, 96}};
    for (const Image& image : images) {
        const std::unique_ptr<RAS_IBitmap> bitmap(RAS_DecodePNGResource(dll, image.id, nullptr));
        ASSERT_NE(bitmap, nullptr) << "resource " << image.id;
        EXPECT_EQ(bitmap->PixelWidth(), image.width) << "resource " << image.id;
        EXPECT_EQ(bitmap->PixelHeight(), image.height) << "resource " << image.id;
    }
    RAS_ResourceBytes bytes{};
    EXPECT_FALSE(RAS_FindImageResource(dll, 99, &bytes));
    EXPECT_FALSE(RAS_FindImageResource(dll, 108, &bytes));
    EXPECT_FALSE(RAS_FindImageResource(dll, 0x10064, &bytes)) << "ids are 16 bits, not cut to them";
    // The lookup is per module.
    EXPECT_NE(RAS_OwnModule(), static_cast<RAS_ModuleHandle>(dll));
    EXPECT_FALSE(RAS_FindImageResource(GetModuleHandleA("kernel32.dll"), 100, &bytes));
}

DIBSECTION SelectedDIB(const RAS_SysBitmap& bitmap) {
    DIBSECTION dib{};
    const auto dc = static_cast<HDC>(bitmap.DeviceContext());
    GetObjectA(GetCurrentObject(dc, OBJ_BITMAP), sizeof dib, &dib);
    return dib;
}

TEST(WindowsSurface, IsATopDownDIBSectionInItsOwnMemoryDC) {
    RAS_SysBitmap bitmap(100, 80);
    ASSERT_NE(bitmap.DeviceContext(), nullptr);
    const DIBSECTION dib = SelectedDIB(bitmap);
    EXPECT_EQ(dib.dsBm.bmBits, bitmap.Pixels());
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 32);
    EXPECT_EQ(dib.dsBm.bmWidth, 100);
    EXPECT_EQ(dib.dsBm.bmHeight, 80);
    EXPECT_EQ(bitmap.Pixels()[0], 0u) << "a new surface is cleared";
    // Row 0 is the top row, and 0xAARRGGBB reaches GDI as red, green, blue.
    const auto dc = static_cast<HDC>(bitmap.DeviceContext());
    bitmap.Pixels()[3] = 0xFF102030;
    bitmap.Pixels()[79 * bitmap.StridePixels()] = 0xFF0000FF;
    EXPECT_EQ(GetPixel(dc, 3, 0), RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(GetPixel(dc, 0, 79), RGB(0, 0, 0xFF));
}

TEST(WindowsSurface, KeepsItsDIBWhileTheSizeFitsAndReplacesItToGrow) {
    RAS_SysBitmap bitmap(100, 100);
    const RAS_Pixel32* first = bitmap.Pixels();
    EXPECT_FALSE(bitmap.SetSize(100, 100));
    EXPECT_TRUE(bitmap.SetSize(50, 50));
    EXPECT_EQ(bitmap.Pixels(), first);
    EXPECT_EQ(bitmap.StridePixels(), 100);
    EXPECT_EQ(SelectedDIB(bitmap).dsBm.bmWidth, 100);

    EXPECT_TRUE(bitmap.SetSize(120, 50));
    EXPECT_EQ(bitmap.StridePixels(), 120);
    EXPECT_EQ(SelectedDIB(bitmap).dsBm.bmWidth, 120);
    EXPECT_EQ(SelectedDIB(bitmap).dsBm.bmHeight, 50);
    EXPECT_EQ(SelectedDIB(bitmap).dsBm.bmBits, bitmap.Pixels());

    // Empty, or too large to hold: 0 x 0 without pixels, the device context kept.
    for (const auto& [w, h] : {std::pair{0, 10}, std::pair{50000, 50000}}) {
        bitmap.SetSize(120, 50);
        ASSERT_NE(bitmap.Pixels(), nullptr);
        EXPECT_TRUE(bitmap.SetSize(w, h));
        EXPECT_EQ(bitmap.PixelWidth(), 0);
        EXPECT_EQ(bitmap.PixelHeight(), 0);
        EXPECT_EQ(bitmap.Pixels(), nullptr);
        EXPECT_EQ(SelectedDIB(bitmap).dsBm.bmBits, nullptr) << "the DC's own bitmap is back";
        EXPECT_NE(bitmap.DeviceContext(), nullptr);
    }
}

TEST(WindowsSurface, DestructionDeletesTheDIBAndTheDC) {
    HDC dc;
    HGDIOBJ dib;
    {
        RAS_SysBitmap bitmap(64, 64);
        dc = static_cast<HDC>(bitmap.DeviceContext());
        dib = GetCurrentObject(dc, OBJ_BITMAP);
        ASSERT_EQ(GetObjectType(dib), static_cast<DWORD>(OBJ_BITMAP));
    }
    EXPECT_EQ(GetObjectType(dib), 0u);
    EXPECT_EQ(GetObjectType(dc), 0u);
}

TEST(WindowsPlugLock, IsRecursiveForItsHolderAndExcludesOthers) {
    PlugLock lock;
    std::atomic<bool> entered{false};
    lock.Lock();
    lock.Lock();
    std::thread other([&] {
        lock.Lock();
        entered = true;
        lock.Unlock();
    });
    Sleep(30);
    lock.Unlock();
    Sleep(30);
    EXPECT_FALSE(entered.load()) << "still held once";
    lock.Unlock();
    other.join();
    EXPECT_TRUE(entered.load());
}

TEST(WindowsArithmetic, DoublesGoThroughSSE2SoDenormalsFlush) {
    volatile double tiny = 1e-310;
    {
        ScopedFlushDenormals flush;
        EXPECT_EQ(tiny * 0.5, 0.0);
    }
    EXPECT_NE(tiny * 0.5, 0.0);
}

} // namespace
