#include "PostEffect.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

#include <glad/gl.h>
#include <stb_image.h>

#include "FrameBuffer.h"
#include "LogChannel.h"
#include "Mesh.h"
#include "Texture.h"

namespace
{
void LogWarning(int line, const std::string& message)
{
    WarningLog << LogLocation(__FILE__, line) << message;
    WarningLog.EndMessage();
}

void LogFault(const EffectParser::Fault& fault)
{
    LogChannel& channel = EffectParser::IsError(fault) ? ErrorLog : WarningLog;
    channel << LogLocation(__FILE__, fault.logLine) << fault.message;
    channel.EndMessage();
}

// Reads at most one byte more than an effect may have, so that a huge file costs nothing. A file
// that cannot be read reads as empty, and the parser then says that it has no "$main:".
std::string ReadEffectFile(const std::string& path)
{
    std::string text;
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open())
        return text;
    text.resize(EffectParser::MaxFileBytes + 1);
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(file.bad() ? 0 : static_cast<size_t>(file.gcount()));
    return text;
}

bool WriteGeneratedShader(const std::string& path, const std::string& shader)
{
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << shader;
    file.close();
    return static_cast<bool>(file);
}

// Decodes only the image's header, so that a file claiming a huge size is refused before any
// memory is spent on it.
bool ImageIsLoadable(const std::string& path, std::string& why)
{
    int width = 0;
    int height = 0;
    int channels = 0;
    if (stbi_info(path.c_str(), &width, &height, &channels) == 0)
    {
        why = "it is missing or not an image the game reads";
        return false;
    }
    if (width > PostEffect::MaxImageSide || height > PostEffect::MaxImageSide)
    {
        why = "it is " + std::to_string(width) + " by " + std::to_string(height) + " pixels, more than " +
              std::to_string(PostEffect::MaxImageSide) + " on a side";
        return false;
    }
    if (channels == 2)
    {
        why = "it has 2 channels (grey and alpha); save it as grey, RGB or RGBA";
        return false;
    }
    return true;
}
} // namespace

PostEffect::ImageEntry::ImageEntry(int32_t location, int32_t textureUnit, Texture* texture)
    : location(location), textureUnit(textureUnit), texture(texture)
{
}

PostEffect::ImageEntry::~ImageEntry()
{
    Release();
}

PostEffect::ImageEntry::ImageEntry(ImageEntry&& other) noexcept
    : location(other.location), textureUnit(other.textureUnit), texture(std::exchange(other.texture, nullptr))
{
}

PostEffect::ImageEntry& PostEffect::ImageEntry::operator=(ImageEntry&& other) noexcept
{
    if (this == &other)
        return *this;
    Release();
    location = other.location;
    textureUnit = other.textureUnit;
    texture = std::exchange(other.texture, nullptr);
    return *this;
}

void PostEffect::ImageEntry::Release()
{
    if (texture == nullptr)
        return;
    texture->Release();
    delete texture;
    texture = nullptr;
}

PostEffect::PostEffect(std::string effectName, FrameBuffer* const (&channels)[EffectParser::ChannelCount]) : name(std::move(effectName))
{
    const DynArray<DirectiveEntry> imageNames = Parse();
    if (!readable)
        return;
    if (!foundMain)
        return; // without a main function the build can only fail, and the parser has said why

    shader = Shader("BaseShaders/PostProcess.vsd", "Effects/" + name + ".fsd");
    if (!shader.owned)
    {
        LogWarning(214, "Effect " + EffectParser::Printable(name) + " could not be built from Data/Effects/" + EffectParser::Printable(name) +
                            ".fsd (the shader messages say why); it is not used");
        return;
    }
    usable = true;

    for (uint32_t channel = 0; channel < EffectParser::ChannelCount; ++channel)
    {
        SourceEntry source;
        source.samplerName = EffectParser::ChannelSamplers[channel];
        source.channel = channels[channel];
        sources.PushBack(source);
    }
    // A sampler counts only when the linked program really has it: the compiler drops those the
    // body never reads, and so the render pass never draws a channel that nothing shows.
    const GLuint program = shader.program;
    const std::vector<EffectParser::SamplerUnit> units = EffectParser::AssignUnits(
        parsed, [program](const std::string& sampler) { return glGetUniformLocation(program, sampler.c_str()) != -1; });
    glUseProgram(program);
    for (const EffectParser::SamplerUnit& unit : units)
    {
        if (unit.isImage)
        {
            LoadImage(imageNames[unit.index].word);
            continue;
        }
        SourceEntry& source = sources[unit.index];
        if (source.channel == nullptr)
            continue;
        source.location = glGetUniformLocation(program, source.samplerName.c_str());
        source.used = true;
        source.textureUnit = static_cast<int32_t>(nextTextureUnit++);
        glUniform1i(source.location, source.textureUnit);
    }
    glUseProgram(0);
}

DynArray<PostEffect::DirectiveEntry> PostEffect::Parse()
{
    DynArray<DirectiveEntry> imageNames;
    parsed = EffectParser::Parse(ReadEffectFile("Effects/" + name + ".lrfx"), name);
    for (const EffectParser::Fault& fault : parsed.faults)
        LogFault(fault);
    if (!parsed.readable)
        return imageNames;

    const std::string generated = "Data/Effects/" + name + ".fsd";
    if (!WriteGeneratedShader(generated, parsed.shader))
    {
        LogWarning(206, "The shader of effect " + EffectParser::Printable(name) + " could not be written to " +
                            EffectParser::Printable(generated) + "; the effect is not loaded");
        return imageNames;
    }
    readable = true;
    foundMain = parsed.foundMain;
    usesTime = parsed.usesTime;
    usesWorldPos = parsed.usesWorldPos;
    for (const std::string& image : parsed.images)
        imageNames.PushBack({image});
    return imageNames;
}

void PostEffect::LoadImage(const std::string& image)
{
    const GLint location = glGetUniformLocation(shader.program, image.c_str());
    if (location == -1)
        return;
    const std::string relative = name + "/" + image + ".png";
    Texture* texture = new Texture();
    std::string why;
    if (ImageIsLoadable("Images/" + relative, why))
    {
        texture->Load(relative);
    }
    else
    {
        LogWarning(229, "Image Images/" + EffectParser::Printable(relative) + " of effect " + EffectParser::Printable(name) +
                            " could not be loaded: " + why + "; it reads as black");
        // The sampler still gets a unit of its own, with a texture that has no image.
        glGenTextures(1, &texture->id);
        texture->loaded = true;
    }
    glUseProgram(shader.program);
    const int32_t unit = static_cast<int32_t>(nextTextureUnit++);
    glUniform1i(location, unit);
    images.PushBack(ImageEntry(location, unit, texture));
}

bool PostEffect::Apply(Mesh& quad, const float (&rect)[4], float time)
{
    if (!usable)
        return false;
    glUseProgram(shader.program);
    if (usesTime)
        glUniform1f(glGetUniformLocation(shader.program, "time"), time);
    if (usesWorldPos)
    {
        glUniform2f(glGetUniformLocation(shader.program, "topLeft"), rect[0], rect[3]);
        glUniform2f(glGetUniformLocation(shader.program, "bottomRight"), rect[1], rect[2]);
    }
    for (const SourceEntry& source : sources)
    {
        if (!source.used)
            continue;
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(source.textureUnit));
        glBindTexture(GL_TEXTURE_2D, source.channel->texture);
    }
    for (const ImageEntry& image : images)
    {
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(image.textureUnit));
        glBindTexture(GL_TEXTURE_2D, image.texture->id);
    }
    quad.Draw();
    return true;
}
