#include "EditorIdleVST3.h"

#include <atomic>

using namespace vst3;
using namespace vst3::Linux;

namespace {

// The panel redraws at 60 frames a second.
constexpr TimerInterval kRedrawMilliseconds = 16;

// The run loop's handler: a timer tick or events waiting on the window system's
// descriptor both mean the same to the editor. The loop holds references to it while
// registered; it goes with the last one.
class IdleHandler final : public ITimerHandler, public IEventHandler {
public:
    explicit IdleHandler(IEditorWindow& editorWindow) : window(&editorWindow) {}

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (!obj)
            return kInvalidArgument;
        *obj = nullptr;
        if (SameUid(iid, FUnknown::kIid) || SameUid(iid, ITimerHandler::kIid))
            *obj = static_cast<ITimerHandler*>(this);
        else if (SameUid(iid, IEventHandler::kIid))
            *obj = static_cast<IEventHandler*>(this);
        else
            return kNoInterface;
        addRef();
        return kResultOk;
    }
    uint32_t PLUGIN_API addRef() override { return ++references; }
    uint32_t PLUGIN_API release() override {
        const uint32_t count = --references;
        if (count == 0)
            delete this;
        return count;
    }

    void PLUGIN_API onTimer() override { Idle(); }
    void PLUGIN_API onFDIsSet(FileDescriptor) override { Idle(); }

    // A loop may call once more after the editor is gone; then nothing happens.
    void Detach() { window = nullptr; }

private:
    ~IdleHandler() = default;
    void Idle() {
        if (window)
            window->IdleEditor();
    }

    IEditorWindow* window;
    std::atomic<uint32_t> references{1};
};

IRunLoop* QueryRunLoop(FUnknown* from) {
    IRunLoop* loop = nullptr;
    if (!from ||
        from->queryInterface(IRunLoop::kIid.data(), reinterpret_cast<void**>(&loop)) != kResultOk)
        return nullptr;
    return loop;
}

} // namespace

struct EditorIdleVST3::Impl {
    IRunLoop* loop = nullptr; // referenced
    IdleHandler* handler = nullptr;
    bool timer = false;
    bool events = false;
};

FIDString EditorIdleVST3::PlatformType() {
    return kPlatformTypeX11EmbedWindowID;
}

EditorIdleVST3::EditorIdleVST3() : impl(std::make_unique<Impl>()) {}

EditorIdleVST3::~EditorIdleVST3() {
    Stop();
}

bool EditorIdleVST3::Prepare(IPlugFrame* frame, FUnknown* factoryContext) {
    Stop();
    impl->loop = QueryRunLoop(frame);
    if (!impl->loop)
        impl->loop = QueryRunLoop(factoryContext);
    return impl->loop != nullptr;
}

void EditorIdleVST3::Start(IEditorWindow& window) {
    if (!impl->loop)
        return;
    impl->handler = new IdleHandler(window);
    impl->timer = impl->loop->registerTimer(impl->handler, kRedrawMilliseconds) == kResultOk;
    const int descriptor = window.EventDescriptor();
    impl->events =
        descriptor >= 0 && impl->loop->registerEventHandler(impl->handler, descriptor) == kResultOk;
}

void EditorIdleVST3::Stop() {
    if (impl->handler) {
        if (impl->timer)
            impl->loop->unregisterTimer(impl->handler);
        if (impl->events)
            impl->loop->unregisterEventHandler(impl->handler);
        impl->handler->Detach();
        impl->handler->release();
    }
    if (impl->loop)
        impl->loop->release();
    *impl = Impl{};
}
