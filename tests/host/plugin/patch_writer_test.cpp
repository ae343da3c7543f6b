// The patch:Set messages the host sends a plug-in's properties, read back as
// a plug-in reads its control input: each after what the sequence already
// held, at the block's first frame, its value an atom of the property's
// range that holds it even where the range read as a float ends past the
// type's limit; and a sequence with no room left as it was.
#include "host/plugin/lv2/patch_writer.h"

#include <gtest/gtest.h>
#include <lv2/atom/util.h>
#include <lv2/patch/patch.h>
#include <lv2/time/time.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "host/plugin/lv2/position_writer.h"

namespace {

using vsthost::PropertyRange;

struct Received {
    std::int64_t frame;
    LV2_URID otype;
    LV2_URID property;
    LV2_URID type;
    double value;
};

class PatchWriterTest : public ::testing::Test {
protected:
    vsthost::UridMap map;
    vsthost::PositionWriter position{map};
    vsthost::PatchWriter patch{map};
    std::vector<std::uint64_t> buffer = std::vector<std::uint64_t>(1024);
    const std::uint32_t capacity = static_cast<std::uint32_t>(buffer.size() * sizeof(std::uint64_t));

    double number(const LV2_Atom* atom) {
        if (atom->type == map.map(LV2_ATOM__Float)) return reinterpret_cast<const LV2_Atom_Float*>(atom)->body;
        if (atom->type == map.map(LV2_ATOM__Double)) return reinterpret_cast<const LV2_Atom_Double*>(atom)->body;
        if (atom->type == map.map(LV2_ATOM__Int)) return reinterpret_cast<const LV2_Atom_Int*>(atom)->body;
        if (atom->type == map.map(LV2_ATOM__Long))
            return static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(atom)->body);
        if (atom->type == map.map(LV2_ATOM__Bool)) return reinterpret_cast<const LV2_Atom_Bool*>(atom)->body;
        return -1.0;
    }

    std::vector<Received> received() {
        std::vector<Received> events;
        const auto* sequence = reinterpret_cast<const LV2_Atom_Sequence*>(buffer.data());
        LV2_ATOM_SEQUENCE_FOREACH(sequence, event) {
            const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
            const LV2_Atom* property = nullptr;
            const LV2_Atom* value = nullptr;
            lv2_atom_object_get(object, map.map(LV2_PATCH__property), &property, map.map(LV2_PATCH__value), &value, 0);
            events.push_back({event->time.frames, object->body.otype,
                              property ? reinterpret_cast<const LV2_Atom_URID*>(property)->body : 0,
                              value ? value->type : 0, value ? number(value) : 0.0});
        }
        return events;
    }
};

TEST_F(PatchWriterTest, SetsFollowWhatTheSequenceHeldEachInItsRangesAtom) {
    const struct {
        PropertyRange range;
        const char* type;
        double value;
        double sent;
    } cases[] = {
        {PropertyRange::float32, LV2_ATOM__Float, 0.25, 0.25},
        {PropertyRange::float64, LV2_ATOM__Double, 0.1, 0.1},
        {PropertyRange::int32, LV2_ATOM__Int, -7.0, -7.0},
        // 2147483647 read as a float.
        {PropertyRange::int32, LV2_ATOM__Int, 2147483648.0, std::numeric_limits<std::int32_t>::max()},
        {PropertyRange::int64, LV2_ATOM__Long, 4294967296.0, 4294967296.0},
        {PropertyRange::boolean, LV2_ATOM__Bool, 1.0, 1.0},
    };
    position.writePosition({1, 0.5f, 4.5, 4, 4.0f, 120.0f, 1000, 1.0f}, buffer.data(), capacity);
    for (const auto& c : cases)
        ASSERT_TRUE(patch.appendSet(buffer.data(), capacity, map.map(c.type), c.range, c.value));

    const std::vector<Received> events = received();
    ASSERT_EQ(events.size(), std::size(cases) + 1);
    EXPECT_EQ(events[0].otype, map.map(LV2_TIME__Position));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].type);
        const Received& e = events[i + 1];
        EXPECT_EQ(e.frame, 0);
        EXPECT_EQ(e.otype, map.map(LV2_PATCH__Set));
        EXPECT_EQ(e.property, map.map(cases[i].type));
        EXPECT_EQ(e.type, map.map(cases[i].type));
        EXPECT_EQ(e.value, cases[i].sent);
    }
}

TEST_F(PatchWriterTest, ASequenceWithNoRoomIsLeftAsItWas) {
    position.writeEmpty(buffer.data(), capacity);
    std::uint32_t room = 0;  // the capacity at which one set first fits
    for (std::uint32_t c = sizeof(LV2_Atom_Sequence); c <= capacity && room == 0; c += 8) {
        const std::vector<std::uint64_t> before = buffer;
        if (patch.appendSet(buffer.data(), c, 1, PropertyRange::float32, 0.5))
            room = c;
        else
            EXPECT_EQ(buffer, before) << c;
    }
    ASSERT_GT(room, 0u);
    EXPECT_EQ(received().size(), 1u);
    EXPECT_FALSE(patch.appendSet(buffer.data(), room, 1, PropertyRange::float32, 0.5));
    EXPECT_EQ(received().size(), 1u);
}

}  // namespace
