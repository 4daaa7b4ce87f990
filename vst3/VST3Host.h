#pragma once

// What the host offers through the context passed to initialize, and the messages that
// only a plug-in split into two objects needs between its halves.

#include "VST3Base.h"

namespace vst3 {

using AttrID = const char*;

// Typed values under string keys. getString's size is in bytes, not units.
class IAttributeList : public FUnknown {
public:
    virtual tresult PLUGIN_API setInt(AttrID id, int64_t value) = 0;
    virtual tresult PLUGIN_API getInt(AttrID id, int64_t* value) = 0;
    virtual tresult PLUGIN_API setFloat(AttrID id, double value) = 0;
    virtual tresult PLUGIN_API getFloat(AttrID id, double* value) = 0;
    virtual tresult PLUGIN_API setString(AttrID id, const TChar* string) = 0;
    virtual tresult PLUGIN_API getString(AttrID id, TChar* string, uint32_t sizeInBytes) = 0;
    virtual tresult PLUGIN_API setBinary(AttrID id, const void* data, uint32_t sizeInBytes) = 0;
    virtual tresult PLUGIN_API getBinary(AttrID id, const void** data, uint32_t* sizeInBytes) = 0;

    static constexpr Uid kIid = MakeUid(0x1E5F0AEB, 0xCC7F4533, 0xA2544011, 0x38AD5EE4);

protected:
    ~IAttributeList() = default;
};

class IMessage : public FUnknown {
public:
    virtual FIDString PLUGIN_API getMessageID() = 0;
    virtual void PLUGIN_API setMessageID(FIDString id) = 0;
    // Borrowed: no reference is added for the caller.
    virtual IAttributeList* PLUGIN_API getAttributes() = 0;

    static constexpr Uid kIid = MakeUid(0x936F033B, 0xC6C047DB, 0xBB0882F8, 0x13C1E613);

protected:
    ~IMessage() = default;
};

// Between the two objects of a split plug-in; the host may put a proxy in between.
class IConnectionPoint : public FUnknown {
public:
    virtual tresult PLUGIN_API connect(IConnectionPoint* other) = 0;
    virtual tresult PLUGIN_API disconnect(IConnectionPoint* other) = 0;
    virtual tresult PLUGIN_API notify(IMessage* message) = 0;

    static constexpr Uid kIid = MakeUid(0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1);

protected:
    ~IConnectionPoint() = default;
};

class IHostApplication : public FUnknown {
public:
    virtual tresult PLUGIN_API getName(String128 name) = 0;
    // Makes a host object: pass IMessage's or IAttributeList's identifier as both cid and
    // iid. The caller owns the one reference of the result.
    virtual tresult PLUGIN_API createInstance(TUID cid, TUID iid, void** obj) = 0;

    static constexpr Uid kIid = MakeUid(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);

protected:
    ~IHostApplication() = default;
};

} // namespace vst3
