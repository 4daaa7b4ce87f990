#pragma once

// The module's factory and the records it fills. Every record has 4-byte alignment
// and the same size on all targets. Strings are NUL-terminated and truncated to
// their field.

#include "VST3Base.h"

namespace vst3 {

struct PFactoryInfo {
    enum FactoryFlags : int32_t {
        kNoFlags = 0,
        kClassesDiscardable = 1,
        kLicenseCheck = 2, // deprecated and ignored
        kComponentNonDiscardable = 8,
        kUnicode = 16,
    };

    char8 vendor[64];
    char8 url[256];
    char8 email[128];
    int32_t flags;
};
static_assert(sizeof(PFactoryInfo) == 452);
static_assert(offsetof(PFactoryInfo, url) == 64);
static_assert(offsetof(PFactoryInfo, email) == 320);
static_assert(offsetof(PFactoryInfo, flags) == 448);

struct PClassInfo {
    enum ClassCardinality : int32_t {
        kManyInstances = 0x7FFFFFFF,
    };

    TUID cid;
    int32_t cardinality;
    char8 category[32];
    char8 name[64];
};
static_assert(sizeof(PClassInfo) == 116);
static_assert(offsetof(PClassInfo, cardinality) == 16);
static_assert(offsetof(PClassInfo, category) == 20);
static_assert(offsetof(PClassInfo, name) == 52);

// PClassInfo2::classFlags. A single object that is both component and controller
// cannot be split across machines, so it leaves both clear.
enum ComponentFlags : uint32_t {
    kDistributable = 1,
    kSimpleModeSupported = 2,
};

struct PClassInfo2 {
    TUID cid;
    int32_t cardinality;
    char8 category[32];
    char8 name[64];
    uint32_t classFlags;
    char8 subCategories[128]; // tags joined by '|', such as "Fx|Dynamics"
    char8 vendor[64];
    char8 version[64];    // "Major.Minor.Sub[.Build]"
    char8 sdkVersion[64]; // must start with "VST 3" or hosts file the class elsewhere
};
static_assert(sizeof(PClassInfo2) == 440);
static_assert(offsetof(PClassInfo2, cardinality) == 16);
static_assert(offsetof(PClassInfo2, category) == 20);
static_assert(offsetof(PClassInfo2, name) == 52);
static_assert(offsetof(PClassInfo2, classFlags) == 116);
static_assert(offsetof(PClassInfo2, subCategories) == 120);
static_assert(offsetof(PClassInfo2, vendor) == 248);
static_assert(offsetof(PClassInfo2, version) == 312);
static_assert(offsetof(PClassInfo2, sdkVersion) == 376);

struct PClassInfoW {
    TUID cid;
    int32_t cardinality;
    char8 category[32];
    char16 name[64];
    uint32_t classFlags;
    char8 subCategories[128];
    char16 vendor[64];
    char16 version[64];
    char16 sdkVersion[64];
};
static_assert(sizeof(PClassInfoW) == 696);
static_assert(offsetof(PClassInfoW, cardinality) == 16);
static_assert(offsetof(PClassInfoW, category) == 20);
static_assert(offsetof(PClassInfoW, name) == 52);
static_assert(offsetof(PClassInfoW, classFlags) == 180);
static_assert(offsetof(PClassInfoW, subCategories) == 184);
static_assert(offsetof(PClassInfoW, vendor) == 312);
static_assert(offsetof(PClassInfoW, version) == 440);
static_assert(offsetof(PClassInfoW, sdkVersion) == 568);

// What GetPluginFactory returns. cid and iid point to 16 bytes each; createInstance
// gives a new object with one reference, or null and kNoInterface.
class IPluginFactory : public FUnknown {
public:
    virtual tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) = 0;
    virtual int32_t PLUGIN_API countClasses() = 0;
    virtual tresult PLUGIN_API getClassInfo(int32_t index, PClassInfo* info) = 0;
    virtual tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) = 0;

    static constexpr Uid kIid = MakeUid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);

protected:
    ~IPluginFactory() = default;
};

class IPluginFactory2 : public IPluginFactory {
public:
    virtual tresult PLUGIN_API getClassInfo2(int32_t index, PClassInfo2* info) = 0;

    static constexpr Uid kIid = MakeUid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);

protected:
    ~IPluginFactory2() = default;
};

// Not every host asks for this one; class info 2 must be complete on its own.
class IPluginFactory3 : public IPluginFactory2 {
public:
    virtual tresult PLUGIN_API getClassInfoUnicode(int32_t index, PClassInfoW* info) = 0;
    // On Linux the context may offer the host's run loop, for timers without an editor.
    virtual tresult PLUGIN_API setHostContext(FUnknown* context) = 0;

    static constexpr Uid kIid = MakeUid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);

protected:
    ~IPluginFactory3() = default;
};

} // namespace vst3
