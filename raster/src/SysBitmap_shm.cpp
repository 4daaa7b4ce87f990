// The system bitmap on Linux: a System V shared memory segment, so that an X server
// with MIT-SHM reads the surface where it is drawn, with no copy; the heap where the
// system gives no segment. There is no device context.
#include "raster/RAS_Bitmap.h"
#include "raster/RAS_SharedSegment.h"

#include <sys/shm.h>

#include <cstdlib>

RAS_SharedSegment RAS_NewSharedSegment(std::size_t bytes) {
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0)
        return {};
    void* memory = shmat(id, nullptr, 0);
    shmctl(id, IPC_RMID, nullptr);
    if (memory == reinterpret_cast<void*>(-1))
        return {};
    return {id, memory};
}

void RAS_DetachSharedSegment(void* memory) {
    shmdt(memory);
}

RAS_SysBitmap::RAS_SysBitmap(int width, int height) {
    SetSize(width, height);
}

RAS_SysBitmap::~RAS_SysBitmap() {
    Release();
}

void* RAS_SysBitmap::DeviceContext() const {
    return nullptr;
}

void RAS_SysBitmap::Release() {
    if (segment_ >= 0)
        RAS_DetachSharedSegment(pixels_);
    else
        std::free(pixels_);
    pixels_ = nullptr;
    segment_ = -1;
    allocatedWidth_ = 0;
    allocatedHeight_ = 0;
}

bool RAS_SysBitmap::Allocate(int width, int height) {
    const std::size_t bytes =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * sizeof(RAS_Pixel32);
    // A new segment is zeroed, like a fresh native surface.
    const RAS_SharedSegment segment = RAS_NewSharedSegment(bytes);
    if (segment.memory) {
        pixels_ = static_cast<RAS_Pixel32*>(segment.memory);
        segment_ = segment.id;
    } else {
        pixels_ = static_cast<RAS_Pixel32*>(std::calloc(bytes / sizeof(RAS_Pixel32), sizeof(RAS_Pixel32)));
        if (pixels_ == nullptr)
            return false;
    }
    allocatedWidth_ = width;
    allocatedHeight_ = height;
    return true;
}
