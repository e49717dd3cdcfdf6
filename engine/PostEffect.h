#pragma once

#include <cstdint>
#include <string>

#include "DynArray.h"
#include "EffectParser.h"
#include "Shader.h"

class FrameBuffer;
class Mesh;
class Texture;

/// One post effect: a full-screen fragment shader generated from "Effects/<name>.lrfx" (see
/// `EffectParser` for the language), written to "Data/Effects/<name>.fsd" and linked with
/// "BaseShaders/PostProcess.vsd", that composes the scene channels it samples, its own images,
/// the running time and each pixel's world position into whatever framebuffer is bound. Built
/// once by its constructor and never changed; the game rebuilds all effects to reload them. An
/// effect whose file could not be read or whose program did not build is not usable: it draws
/// nothing, and the game does not keep it. Needs the window's context current for its whole life.
class PostEffect
{
public:
    /// A scene channel as the effect sees it.
    struct SourceEntry
    {
        bool used = false;         ///< the linked program reads the channel's sampler
        int32_t location = -1;     ///< of the sampler uniform
        int32_t textureUnit = -1;  ///< 0-based
        std::string samplerName;
        FrameBuffer* channel = nullptr; ///< not owned; the game's, outlives the effect
    };

    /// An image of the effect, bound to its own texture unit.
    struct ImageEntry
    {
        int32_t location = -1;
        int32_t textureUnit = -1;
        Texture* texture = nullptr; ///< owned

        ImageEntry() = default;
        ImageEntry(int32_t location, int32_t textureUnit, Texture* texture);
        /// Deletes the texture (its GL object when loaded).
        ~ImageEntry();
        ImageEntry(const ImageEntry&) = delete;
        ImageEntry& operator=(const ImageEntry&) = delete;
        /// Takes the other's texture; the other is left without one.
        ImageEntry(ImageEntry&& other) noexcept;
        /// Releases this entry's texture first, then takes the other's.
        ImageEntry& operator=(ImageEntry&& other) noexcept;

    private:
        void Release();
    };

    /// One "$image" name of the effect file, in file order.
    struct DirectiveEntry
    {
        std::string word;
    };

    /// The largest image side accepted from an effect's image file; larger images are refused
    /// before they are decoded.
    static constexpr int32_t MaxImageSide = 4096;

    Shader shader;
    /// The four scene channels in the order colourTexture, fontTexture, worldShapesTexture,
    /// magnetismTexture; the render pass draws only the used ones.
    DynArray<SourceEntry> sources;
    /// The images whose sampler the program has, in file order.
    DynArray<ImageEntry> images;
    bool usesTime = false;
    bool usesWorldPos = false;
    std::string name;
    uint32_t nextTextureUnit = 0;

    /// Loads the effect `effectName`: parses its file, writes the generated shader, builds the
    /// program, finds the channels it samples among `channels` (colour, font, worldShapes,
    /// magnetism; not owned) and loads its images. Every fault is logged once: to `ErrorLog` when
    /// `EffectParser::IsError` says so, else to `WarningLog`. A file that cannot be read is read as
    /// an empty one.
    PostEffect(std::string effectName, FrameBuffer* const (&channels)[EffectParser::ChannelCount]);
    PostEffect(const PostEffect&) = delete;
    PostEffect& operator=(const PostEffect&) = delete;

    /// Reads "Effects/<name>.lrfx" (as empty when it cannot be read), writes
    /// "Data/Effects/<name>.fsd" and sets the variables used. Returns the image names, or nothing
    /// when the file was refused whole or the shader could not be written.
    DynArray<DirectiveEntry> Parse();
    /// Adds the image `image` ("Images/<name>/<image>.png") on the next texture unit when the
    /// program has its sampler; nothing otherwise. An image that cannot be decoded, or is larger
    /// than `MaxImageSide`, is logged and bound as an empty texture.
    void LoadImage(const std::string& image);

    /// True when the program built and can be drawn through.
    bool IsUsable() const { return usable; }

    /// Draws the effect over the bound framebuffer through `quad` (the unit quad), with the view
    /// rectangle `rect` (min x, max x, min y, max y, world units) and `time` in seconds. An
    /// effect that is not usable draws nothing and answers false.
    bool Apply(Mesh& quad, const float (&rect)[4], float time);

private:
    EffectParser::Result parsed;
    bool usable = false;
    bool readable = false;
    bool foundMain = false;
};
