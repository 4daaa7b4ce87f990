// The test host's own objects, where a fault in them would mislead the plug-in's tests:
// the state stream's edges, the parameter queues, the reference checks.
#include "HostApplication.h"
#include "HostParameterChanges.h"
#include "MemoryStream.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

using namespace vst3;

namespace {

std::vector<char> Digits() {
    return {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'};
}

TEST(MemoryStream, ReadsEndShortOrFailWhereTheTestSays) {
    struct Case {
        const char* what;
        std::optional<int64_t> end, failure;
        int32_t asked;
        tresult result;
        int32_t read;
        int64_t position;
    };
    // Each from position 2 of ten bytes.
    const Case cases[] = {
        {"inside", {}, {}, 4, kResultOk, 4, 6},
        {"past the end", {}, {}, 20, kResultOk, 8, 10},
        {"across the end the test set", 5, {}, 4, kResultOk, 3, 5},
        {"up to a failure", {}, 5, 3, kResultOk, 3, 5},
        {"across a failure", {}, 5, 4, kResultFalse, 0, 2},
        {"a negative count", {}, {}, -1, kInvalidArgument, 0, 2},
    };
    for (const Case& c : cases) {
        MemoryStream stream(Digits(), 2);
        if (c.end)
            stream.EndReadsAt(*c.end);
        if (c.failure)
            stream.FailReadsFrom(*c.failure);
        char buffer[32] = {};
        int32_t read = -1;
        EXPECT_EQ(stream.read(buffer, c.asked, &read), c.result) << c.what;
        EXPECT_EQ(read, c.read) << c.what;
        EXPECT_EQ(stream.Position(), c.position) << c.what;
        EXPECT_EQ(std::string(buffer),
                  std::string("23456789").substr(0, static_cast<size_t>(c.read)))
            << c.what;
    }
}

TEST(MemoryStream, SeeksStayInsideTheStreamAndWritesFillGaps) {
    MemoryStream stream(Digits(), 2);
    int64_t result = -1;
    EXPECT_EQ(stream.seek(std::numeric_limits<int64_t>::max(), IBStream::kIBSeekCur, &result),
              kInvalidArgument);
    EXPECT_EQ(stream.seek(-1, IBStream::kIBSeekSet, &result), kInvalidArgument);
    EXPECT_EQ(stream.seek(0, 3, &result), kInvalidArgument);
    EXPECT_EQ(stream.Position(), 2);
    EXPECT_EQ(result, -1);

    EXPECT_EQ(stream.seek(2, IBStream::kIBSeekEnd, nullptr), kResultOk);
    char text[] = "ab";
    EXPECT_EQ(stream.write(text, 2, nullptr), kResultOk);
    const std::vector<char> expected = {'0', '1', '2', '3',  '4',  '5', '6',
                                        '7', '8', '9', '\0', '\0', 'a', 'b'};
    EXPECT_EQ(stream.Bytes(), expected);

    stream.FailWritesFrom(15);
    int32_t written = -1;
    EXPECT_EQ(stream.write(text, 2, &written), kResultFalse);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(stream.Bytes(), expected);
    EXPECT_EQ(stream.seek(MemoryStream::kMaxSize, IBStream::kIBSeekSet, nullptr), kResultOk);
    EXPECT_EQ(stream.write(text, 1, &written), kResultFalse);
}

TEST(HostParameterChanges, QueuesHandOnHostilePointsAndKeepOneQueuePerParameter) {
    HostParameterChanges changes;
    changes.Queue(3).Add(-7, std::numeric_limits<double>::quiet_NaN());
    changes.Queue(5).Add(0, 0.5);
    changes.Queue(3).Add(1 << 30, 2.5);
    ASSERT_EQ(changes.getParameterCount(), 2);
    IParamValueQueue* queue = changes.getParameterData(0);
    ASSERT_NE(queue, nullptr);
    EXPECT_EQ(queue->getParameterId(), 3u);
    ASSERT_EQ(queue->getPointCount(), 2);
    int32_t offset = 0;
    ParamValue value = 0.0;
    EXPECT_EQ(queue->getPoint(0, &offset, &value), kResultOk);
    EXPECT_EQ(offset, -7);
    EXPECT_TRUE(std::isnan(value));
    EXPECT_EQ(queue->getPoint(2, &offset, &value), kResultFalse);
    EXPECT_EQ(changes.getParameterData(2), nullptr);
    EXPECT_EQ(changes.getParameterData(-1), nullptr);

    const ParamID five = 5, nine = 9;
    int32_t index = -1;
    EXPECT_EQ(changes.addParameterData(&five, &index), &changes.At(1));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(changes.addParameterData(&nine, &index)->getParameterId(), 9u);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(changes.addParameterData(nullptr, &index), nullptr);

    changes.Clear();
    EXPECT_EQ(changes.getParameterCount(), 0);
    EXPECT_EQ(changes.Queue(8).getPointCount(), 0);
    EXPECT_EQ(changes.getParameterData(0)->getParameterId(), 8u);
}

TEST(HostObject, ReferencesThePluginKeepsOrReturnsTooOftenFailTheTest) {
    EXPECT_NONFATAL_FAILURE(
        {
            MemoryStream stream;
            void* kept = nullptr;
            stream.queryInterface(IBStream::kIid.data(), &kept);
        },
        "still holds 1 references to the memory stream");
    EXPECT_NONFATAL_FAILURE(
        {
            MemoryStream stream;
            stream.release();
        },
        "released the memory stream more often");
    MemoryStream balanced;
    void* unknown = nullptr;
    EXPECT_EQ(balanced.queryInterface(FUnknown::kIid.data(), &unknown), kResultOk);
    EXPECT_EQ(unknown, static_cast<FUnknown*>(&balanced));
    EXPECT_EQ(balanced.PluginReferences(), 1u);
    static_cast<FUnknown*>(unknown)->release();
}

TEST(HostApplication, MakesMessagesAndAttributeListsAndNothingElse) {
    HostApplication host;
    Uid message = IMessage::kIid;
    void* made = nullptr;
    ASSERT_EQ(host.createInstance(message.data(), message.data(), &made), kResultOk);
    IAttributeList* attributes = static_cast<IMessage*>(made)->getAttributes();
    ASSERT_NE(attributes, nullptr);
    EXPECT_EQ(attributes->setString("name", u"abcdef"), kResultOk);
    // The size is in bytes: four units, room for three and the terminator.
    TChar text[8] = {u'x', u'x', u'x', u'x', u'x', u'x', u'x', u'x'};
    EXPECT_EQ(attributes->getString("name", text, 8), kResultOk);
    EXPECT_EQ(std::u16string(text), u"abc");
    EXPECT_EQ(text[4], u'x');
    static_cast<IMessage*>(made)->release();

    Uid frame = IPlugFrame::kIid;
    made = &host;
    EXPECT_EQ(host.createInstance(frame.data(), frame.data(), &made), kResultFalse);
    EXPECT_EQ(made, nullptr);
}

} // namespace
