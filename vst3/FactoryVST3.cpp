#include "FactoryVST3.h"

#include "IEffectVST3.h"

#include <mutex>
#include <new>

using namespace vst3;

namespace {

std::mutex gFactoryMutex;
FactoryVST3* gFactory = nullptr; // guarded by gFactoryMutex

// One name for both text widths, so that one template fills both class-info records.
template <std::size_t N> void CopyClassText(char8 (&out)[N], const char* text) {
    CopyText(out, text, N);
}

// The class texts are ASCII: each byte becomes one UTF-16 unit.
template <std::size_t N> void CopyClassText(char16 (&out)[N], const char* text) {
    std::size_t i = 0;
    for (; text[i] && i + 1 < N; ++i)
        out[i] = static_cast<char16>(static_cast<unsigned char>(text[i]));
    out[i] = 0;
}

// The fields every class-info record begins with: PClassInfo, PClassInfo2 and PClassInfoW.
template <class Info>
tresult FillClassInfo(const ProductVST3& product, const ClassNamesVST3& names, int32_t index,
                      Info* info) {
    if (index != 0 || !info)
        return kInvalidArgument;
    *info = Info{};
    const Uid id = product.ClassId();
    std::copy(id.begin(), id.end(), info->cid);
    info->cardinality = PClassInfo::kManyInstances;
    CopyClassText(info->category, kAudioModuleClass);
    CopyClassText(info->name, names.name);
    return kResultOk;
}

// PClassInfo2 and PClassInfoW: the same fields, texts of 8 or 16 bits.
template <class Info>
tresult FillClassInfo2(const ProductVST3& product, const ClassNamesVST3& names, int32_t index,
                       Info* info) {
    if (const tresult result = FillClassInfo(product, names, index, info); result != kResultOk)
        return result;
    // One object that is also its own controller cannot be distributed.
    info->classFlags = 0;
    CopyClassText(info->subCategories, product.product->vst3Categories);
    CopyClassText(info->vendor, names.vendor);
    CopyClassText(info->version, product.product->versionText);
    CopyClassText(info->sdkVersion, kSdkVersionText);
    return kResultOk;
}

} // namespace

FactoryVST3::FactoryVST3(const ProductVST3& productInfo)
    : product(productInfo), names(ReadClassNames(productInfo)) {}

FactoryVST3::~FactoryVST3() {
    if (hostContext)
        hostContext->release();
}

IPluginFactory* FactoryVST3::Acquire(const ProductVST3& product) {
    std::lock_guard guard(gFactoryMutex);
    if (gFactory) {
        gFactory->addRef();
        return gFactory;
    }
    gFactory = new (std::nothrow) FactoryVST3(product);
    return gFactory;
}

tresult PLUGIN_API FactoryVST3::queryInterface(const TUID iid, void** obj) {
    if (!obj)
        return kInvalidArgument;
    *obj = nullptr;
    if (!iid)
        return kInvalidArgument;
    if (!SameUid(iid, FUnknown::kIid) && !SameUid(iid, IPluginFactory::kIid) &&
        !SameUid(iid, IPluginFactory2::kIid) && !SameUid(iid, IPluginFactory3::kIid))
        return kNoInterface;
    addRef();
    *obj = static_cast<IPluginFactory3*>(this);
    return kResultOk;
}

uint32_t PLUGIN_API FactoryVST3::addRef() {
    return ++references;
}

// Under the module's lock, so that GetPluginFactory never hands out a factory on its way
// out.
uint32_t PLUGIN_API FactoryVST3::release() {
    std::lock_guard guard(gFactoryMutex);
    const uint32_t count = --references;
    if (count == 0) {
        gFactory = nullptr;
        delete this;
    }
    return count;
}

tresult PLUGIN_API FactoryVST3::getFactoryInfo(PFactoryInfo* info) {
    if (!info)
        return kInvalidArgument;
    *info = PFactoryInfo{};
    CopyClassText(info->vendor, names.vendor);
    CopyClassText(info->url, product.product->url);
    CopyClassText(info->email, product.product->email);
    info->flags = PFactoryInfo::kUnicode;
    return kResultOk;
}

tresult PLUGIN_API FactoryVST3::getClassInfo(int32_t index, PClassInfo* info) {
    return FillClassInfo(product, names, index, info);
}

tresult PLUGIN_API FactoryVST3::getClassInfo2(int32_t index, PClassInfo2* info) {
    return FillClassInfo2(product, names, index, info);
}

tresult PLUGIN_API FactoryVST3::getClassInfoUnicode(int32_t index, PClassInfoW* info) {
    return FillClassInfo2(product, names, index, info);
}

tresult PLUGIN_API FactoryVST3::createInstance(FIDString cid, FIDString iid, void** obj) {
    if (!obj)
        return kInvalidArgument;
    *obj = nullptr;
    if (!SameUid(cid, product.ClassId()) || !iid)
        return kNoInterface;
    // Nothing may unwind into a host: a failed allocation is the null answer.
    IEffectVST3* plug = nullptr;
    try {
        std::unique_ptr<IEffectBase> effect = product.Create();
        if (!effect)
            return kOutOfMemory;
        plug = new IEffectVST3(std::move(effect));
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    plug->SetFactoryContext(hostContext);
    const tresult result = plug->queryInterface(iid, obj);
    plug->release();
    return result;
}

tresult PLUGIN_API FactoryVST3::setHostContext(FUnknown* context) {
    if (context)
        context->addRef();
    if (hostContext)
        hostContext->release();
    hostContext = context;
    return kResultOk;
}
