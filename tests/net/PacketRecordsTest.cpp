#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PacketRecords.h"

namespace
{
template <typename Record>
std::vector<uint8_t> Bytes(const Record& record)
{
    std::vector<uint8_t> bytes(sizeof(Record));
    std::memcpy(bytes.data(), &record, sizeof(Record));
    return bytes;
}

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t offset)
{
    return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes[offset + 2]) << 16 | static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

float F32At(const std::vector<uint8_t>& bytes, size_t offset)
{
    float value = 0.0f;
    std::memcpy(&value, bytes.data() + offset, sizeof(value));
    return value;
}

std::string TextAt(const std::vector<uint8_t>& bytes, size_t offset)
{
    return std::string(reinterpret_cast<const char*>(bytes.data() + offset));
}
} // namespace

// The records whose number and text lie in different orders, and the state's padded layout,
// written as a peer built by anything else would read them.
TEST(PacketRecords, FieldsLieAtTheirWireOffsets)
{
    PlayerLeftPacket left;
    CopyText(left.name, "Ada");
    left.playerNumber = 0x01020304u;
    const std::vector<uint8_t> leftBytes = Bytes(left);
    ASSERT_EQ(leftBytes.size(), 72u);
    EXPECT_EQ(U32At(leftBytes, 0), 2u);
    EXPECT_EQ(TextAt(leftBytes, 4), "Ada");
    EXPECT_EQ(U32At(leftBytes, 68), 0x01020304u);
    EXPECT_EQ(leftBytes[4 + 3], 0u) << "bytes after the terminator are zeros";
    EXPECT_EQ(leftBytes[4 + 63], 0u);

    PlayerJoinedPacket joined;
    joined.playerNumber = 7;
    CopyText(joined.name, "Bo");
    const std::vector<uint8_t> joinedBytes = Bytes(joined);
    EXPECT_EQ(U32At(joinedBytes, 0), 1u);
    EXPECT_EQ(U32At(joinedBytes, 4), 7u);
    EXPECT_EQ(TextAt(joinedBytes, 8), "Bo");

    StartGamePacket start;
    CopyText(start.levelName, "Cave.lrl");
    start.playerCount = 3;
    const std::vector<uint8_t> startBytes = Bytes(start);
    EXPECT_EQ(U32At(startBytes, 0), 7u);
    EXPECT_EQ(TextAt(startBytes, 4), "Cave.lrl");
    EXPECT_EQ(U32At(startBytes, 68), 3u);

    ChatPacket chat;
    CopyText(chat.name, "Cy");
    CopyText(chat.text, "hello");
    const std::vector<uint8_t> chatBytes = Bytes(chat);
    ASSERT_EQ(chatBytes.size(), 324u);
    EXPECT_EQ(TextAt(chatBytes, 4), "Cy");
    EXPECT_EQ(TextAt(chatBytes, 68), "hello");

    PlayerStatePacket state;
    state.playerNumber = 2;
    state.state = {1.5f, -2.5f, 3.0f, -4.0f, 0.25f, -6.0f, 1, {0, 0, 0}, -1.0f, 1, 0, {0, 0}};
    const std::vector<uint8_t> stateBytes = Bytes(state);
    ASSERT_EQ(stateBytes.size(), 44u);
    EXPECT_EQ(U32At(stateBytes, 0), 10u);
    EXPECT_EQ(U32At(stateBytes, 4), 2u);
    const float floats[] = {1.5f, -2.5f, 3.0f, -4.0f, 0.25f, -6.0f};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(F32At(stateBytes, 8 + 4 * i), floats[i]) << "float " << i;
    EXPECT_EQ(stateBytes[8 + 24], 1u);
    EXPECT_EQ(stateBytes[8 + 25] | stateBytes[8 + 26] | stateBytes[8 + 27], 0) << "padding is sent as zeros";
    EXPECT_EQ(F32At(stateBytes, 8 + 28), -1.0f);
    EXPECT_EQ(stateBytes[8 + 32], 1u);
    EXPECT_EQ(stateBytes[8 + 33], 0u);

    EXPECT_EQ(Bytes(ClientStatePacket{}).size(), 40u);
    EXPECT_EQ(U32At(Bytes(DepartedPacket{}), 0), 11u);
    EXPECT_EQ(ChatPacket::Flags, static_cast<enet_uint32>(ENET_PACKET_FLAG_RELIABLE));
    EXPECT_EQ(PlayerStatePacket::Flags, 0u) << "states travel unreliable";
}

TEST(PacketRecords, ReadRecordChecksLengthAndTextsBeforeCopying)
{
    ChatPacket sent;
    CopyText(sent.name, "Dee");
    CopyText(sent.text, "hi there");
    const std::vector<uint8_t> whole = Bytes(sent);

    struct Case
    {
        const char* what;
        std::vector<uint8_t> bytes;
        RecordFault fault;
    };
    std::vector<uint8_t> longer = whole;
    longer.insert(longer.end(), 16, 0xEE);
    std::vector<uint8_t> nameUnterminated = whole;
    std::memset(nameUnterminated.data() + 4, 'n', 64);
    std::vector<uint8_t> textUnterminated = whole;
    std::memset(textUnterminated.data() + 68, 't', 256);
    const Case cases[] = {
        {"whole", whole, RecordFault::None},
        {"with bytes after it", longer, RecordFault::None},
        {"one byte short", std::vector<uint8_t>(whole.begin(), whole.end() - 1), RecordFault::TooShort},
        {"type only", std::vector<uint8_t>(whole.begin(), whole.begin() + 4), RecordFault::TooShort},
        {"nothing", {}, RecordFault::TooShort},
        {"name fills its field", nameUnterminated, RecordFault::UnterminatedText},
        {"text fills its field", textUnterminated, RecordFault::UnterminatedText},
    };
    for (const Case& c : cases)
    {
        ChatPacket received;
        CopyText(received.text, "untouched");
        // Copied one byte in, so that the record is read from an unaligned address.
        std::vector<uint8_t> shifted(c.bytes.size() + 1);
        if (!c.bytes.empty())
            std::memcpy(shifted.data() + 1, c.bytes.data(), c.bytes.size());
        EXPECT_EQ(ReadRecord(shifted.data() + 1, c.bytes.size(), received), c.fault) << c.what;
        EXPECT_STREQ(received.text, c.fault == RecordFault::None ? "hi there" : "untouched") << c.what;
    }
    ChatPacket unused;
    EXPECT_EQ(ReadRecord(nullptr, 324, unused), RecordFault::TooShort);
}

TEST(PacketRecords, CopyTextCutsToTheFieldAtACharacterBoundary)
{
    const std::string exactly63(63, 'x');
    JoinPacket join;
    CopyText(join.name, exactly63);
    EXPECT_EQ(std::string(join.name), exactly63) << "a name of 63 characters travels whole";
    EXPECT_EQ(join.name[63], '\0');

    CopyText(join.name, std::string(100, 'y'));
    EXPECT_EQ(std::string(join.name), std::string(63, 'y'));

    // 62 ASCII bytes and a two-byte character: the character does not fit whole and is left out.
    const std::string accented = std::string(62, 'a') + "\xC3\xA9" + "z";
    CopyText(join.name, accented);
    EXPECT_EQ(std::string(join.name), std::string(62, 'a'));

    std::memset(join.name, 'q', sizeof(join.name));
    CopyText(join.name, std::string("ab\0cd", 5));
    EXPECT_EQ(std::string(join.name), "ab");
    for (size_t i = 2; i < sizeof(join.name); ++i)
        ASSERT_EQ(join.name[i], '\0') << "byte " << i << " after the text is not zero";
}

TEST(PacketRecords, CleanTextStopsAtTheTerminatorAndDefusesControlCharacters)
{
    const char field[16] = "a\nb\rc\x1b[31m\x7f";
    EXPECT_EQ(CleanText(field), "a?b?c?[31m?");
    const char withTail[8] = {'o', 'k', '\0', 'x', 'y', 'z', '\0', '\0'};
    EXPECT_EQ(CleanText(withTail), "ok");
    // UTF-8 and printf-like texts are shown as they are.
    const char text[32] = "caf\xC3\xA9 %s %n";
    EXPECT_EQ(CleanText(text), "caf\xC3\xA9 %s %n");
}

TEST(PacketRecords, ShareableLevelNamesAreBareLevelFileNamesThatFitTheStartRecord)
{
    struct Case
    {
        std::string name;
        bool shareable;
    };
    const Case cases[] = {
        {"Cave.lrl", true},
        {"my level (2).lrl", true},
        {std::string(59, 'n') + ".lrl", true},
        {std::string(60, 'n') + ".lrl", false},
        {".lrl", false},
        {"Cave.lrlx", false},
        {"Cave.txt", false},
        {"../config.json", false},
        {"../../Data/Levels/Cave.lrl", false},
        {"sub/Cave.lrl", false},
        {"sub\\Cave.lrl", false},
        {"C:Cave.lrl", false},
        {".hidden.lrl", false},
        {"new\nline.lrl", false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsShareableLevelName(c.name), c.shareable) << '"' << c.name << '"';
}

TEST(PacketRecords, OnlyStatesWithinTheWorldAreUsable)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    PlayerNetState usable{12.0f, -3.0f, 40.0f, -40.0f, 123.0f, -20.0f, 1, {0, 0, 0}, -1.0f, 1, 1, {0, 0}};
    EXPECT_TRUE(usable.IsUsable());

    struct Case
    {
        const char* what;
        float PlayerNetState::*field;
        float value;
    };
    const Case cases[] = {
        {"position NaN", &PlayerNetState::positionX, nan},
        {"position beyond the world", &PlayerNetState::positionY, 2.0e6f},
        {"velocity infinite", &PlayerNetState::velocityX, -infinity},
        {"velocity huge", &PlayerNetState::velocityY, 1.0e5f},
        {"angle NaN", &PlayerNetState::angle, nan},
        {"angle huge", &PlayerNetState::angle, 1.0e7f},
        {"spin huge", &PlayerNetState::angularVelocity, 1.0e5f},
        {"rotate input beyond one", &PlayerNetState::rotateInput, 1.5f},
        {"rotate input NaN", &PlayerNetState::rotateInput, nan},
    };
    for (const Case& c : cases)
    {
        PlayerNetState state = usable;
        state.*c.field = c.value;
        EXPECT_FALSE(state.IsUsable()) << c.what;
    }
}
