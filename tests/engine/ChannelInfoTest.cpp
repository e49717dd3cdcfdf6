#include <glad/gl.h>
#include <gtest/gtest.h>

#include "ChannelInfo.h"
#include "LogChannel.h"

TEST(ChannelInfo, EveryTypeAndChannelCount)
{
    struct Case
    {
        ComponentType type;
        uint32_t glType;
        uint32_t internalFormats[4];
        uint32_t pixelFormats[4];
    };
    const Case cases[] = {
        {ComponentUnsigned8, GL_UNSIGNED_BYTE, {GL_RED, GL_RG, GL_RGB, GL_RGBA}, {GL_RED, GL_RG, GL_RGB, GL_RGBA}},
        {ComponentUnsigned16, GL_UNSIGNED_SHORT, {GL_R16, GL_RG16, GL_RGB16, GL_RGBA16}, {GL_RED, GL_RG, GL_RGB, GL_RGBA}},
        {ComponentUnsigned32, GL_UNSIGNED_INT, {GL_R32UI, GL_RG32UI, GL_RGB32UI, GL_RGBA32UI},
         {GL_RED_INTEGER, GL_RG_INTEGER, GL_RGB_INTEGER, GL_RGBA_INTEGER}},
        {ComponentHalfFloat, GL_HALF_FLOAT, {GL_R16F, GL_RG16F, GL_RGB16F, GL_RGBA16F}, {GL_RED, GL_RG, GL_RGB, GL_RGBA}},
        {ComponentFloat, GL_FLOAT, {GL_R32F, GL_RG32F, GL_RGB32F, GL_RGBA32F}, {GL_RED, GL_RG, GL_RGB, GL_RGBA}},
    };
    for (const Case& c : cases)
    {
        for (uint32_t channels = 1; channels <= 4; ++channels)
        {
            SCOPED_TRACE(testing::Message() << "type " << c.type << ", " << channels << " channels");
            uint32_t internalFormat = 0, pixelFormat = 0, glType = 0;
            ChannelInfo::GetGLFormat(c.type, channels, internalFormat, pixelFormat, glType);
            EXPECT_EQ(glType, c.glType);
            EXPECT_EQ(internalFormat, c.internalFormats[channels - 1]);
            EXPECT_EQ(pixelFormat, c.pixelFormats[channels - 1]);
        }
    }
}

TEST(ChannelInfo, BadChannelCountIsLoggedPerType)
{
    const int lines[] = {29, 54, 79, 104, 129};
    for (uint32_t type = 0; type <= 4; ++type)
    {
        for (uint32_t channels : {0u, 5u})
        {
            uint32_t internalFormat = 111, pixelFormat = 222, glType = 0;
            ChannelInfo::GetGLFormat(static_cast<ComponentType>(type), channels, internalFormat, pixelFormat, glType);
            EXPECT_NE(glType, 0u);
            EXPECT_EQ(internalFormat, 111u);
            EXPECT_EQ(pixelFormat, 222u);
            const DynArray<std::string>& history = ErrorLog.GetHistory();
            ASSERT_GT(history.count, 0u);
            EXPECT_EQ(history[history.count - 1], "[ChannelInfo.cpp:" + std::to_string(lines[type]) + "]Invalid texture format!");
        }
    }

    const uint32_t before = ErrorLog.GetHistory().count;
    uint32_t internalFormat = 1, pixelFormat = 2, glType = 3;
    ChannelInfo::GetGLFormat(static_cast<ComponentType>(5), 1, internalFormat, pixelFormat, glType);
    EXPECT_EQ(internalFormat + pixelFormat + glType, 6u);
    EXPECT_EQ(ErrorLog.GetHistory().count, before);
}
