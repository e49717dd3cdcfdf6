#include "EffectParser.h"

#include <algorithm>

#include "Utilities.h"

namespace
{
constexpr const char* ShaderHeader = "#version 450\n\nin vec2 uvs;\n\nout vec4 FragColour;\n\n";
constexpr const char* MainHeader = "\n\nvoid main()\n{\n";
constexpr const char* WorldPosLine = "\tvec2 worldPos = vec2(topLeft.x + (bottomRight.x - topLeft.x) * uvs.x, topLeft.y + "
                                     "(bottomRight.y - topLeft.y) * (1.0 - uvs.y));\n";

bool IsTextByte(unsigned char byte)
{
    return byte >= 0x20 ? byte != 0x7F : (byte == '\t' || byte == '\n' || byte == '\v' || byte == '\f' || byte == '\r');
}

class Reader
{
public:
    Reader(EffectParser::Result& result, const std::string& name) : result(result), name(EffectParser::Printable(name)) {}

    void Fault(int logLine, const std::string& message) { result.faults.push_back({logLine, message}); }

    std::string OnLine(size_t lineNumber) const { return " on line " + std::to_string(lineNumber) + " of effect file " + name; }

    void Directive(std::string_view line, size_t lineNumber)
    {
        // Split at spaces alone: a tab belongs to the word it stands in.
        const DynArray<std::string> words = SplitWords(std::string(line));
        const std::string_view directive = words.count == 0 ? std::string_view("$") : std::string_view(words[0]);
        uint32_t wordsUsed = 1;
        if (directive == "$source" || directive == "$image" || directive == "$variable")
        {
            wordsUsed = 2;
            if (words.count < 2)
            {
                const int logLine = directive == "$source"  ? EffectParser::SourceWithoutNameLine
                                    : directive == "$image" ? EffectParser::ImageWithoutNameLine
                                                            : EffectParser::VariableWithoutNameLine;
                Fault(logLine, "Invalid " + std::string(directive) + " directive" + OnLine(lineNumber));
                return;
            }
            const std::string word(words[1]);
            if (directive == "$source")
                Source(word, lineNumber);
            else if (directive == "$image")
                Image(word, lineNumber);
            else
                Variable(word, lineNumber);
        }
        else if (directive == "$main:")
        {
            Main();
        }
        else
        {
            Fault(EffectParser::UnknownDirectiveLine,
                  "Unknown directive \"" + EffectParser::Printable(directive) + "\"" + OnLine(lineNumber) + " is ignored");
            return;
        }
        if (words.count > wordsUsed)
            Fault(EffectParser::ExtraWordsLine, "Extra words after the " + std::string(directive) + " directive" + OnLine(lineNumber) +
                                                    " are ignored: \"" + EffectParser::Printable(words[wordsUsed]) + "\"");
    }

    void Source(const std::string& word, size_t lineNumber)
    {
        result.sources.push_back(word);
        const auto& channels = EffectParser::ChannelSamplers;
        if (std::find(channels.begin(), channels.end(), word) == channels.end())
            Fault(EffectParser::UnknownChannelLine, "Unknown channel \"" + EffectParser::Printable(word) + "\" in the $source directive" +
                                                        OnLine(lineNumber) +
                                                        "; the channels are colourTexture, fontTexture, worldShapesTexture and "
                                                        "magnetismTexture");
        // A declaration that is not a name would only break the generated text somewhere else.
        if (EffectParser::IsIdentifier(word))
            Write("uniform sampler2D " + word + ";\n");
    }

    void Image(const std::string& word, size_t lineNumber)
    {
        // The name becomes both a sampler and part of a file path, so it has to be a plain name.
        if (!EffectParser::IsIdentifier(word))
        {
            Fault(EffectParser::BadImageNameLine, "Invalid image name \"" + EffectParser::Printable(word) + "\" in the $image directive" +
                                                      OnLine(lineNumber) + "; an image is named by letters, digits and '_'");
            return;
        }
        Write("uniform sampler2D " + word + ";\n");
        result.images.push_back(word);
    }

    void Variable(const std::string& word, size_t lineNumber)
    {
        if (word == "time")
        {
            Write("uniform float time;\n");
            result.usesTime = true;
        }
        else if (word == "worldPos")
        {
            Write("uniform vec2 topLeft;\n");
            Write("uniform vec2 bottomRight;\n");
            result.usesWorldPos = true;
        }
        else
        {
            Fault(EffectParser::UnknownVariableLine, "Unknown variable \"" + EffectParser::Printable(word) + "\" in the $variable directive" +
                                                         OnLine(lineNumber) + "; the variables are time and worldPos");
        }
    }

    void Main()
    {
        Write(MainHeader);
        if (result.usesWorldPos)
            Write(WorldPosLine);
        result.foundMain = true;
    }

    void Write(std::string_view text) { result.shader += text; }

private:
    EffectParser::Result& result;
    std::string name;
};
} // namespace

EffectParser::Result EffectParser::Parse(std::string_view text, const std::string& name)
{
    Result result;
    Reader reader(result, name);
    const std::string shownName = Printable(name);
    if (text.size() > MaxFileBytes)
    {
        result.readable = false;
        reader.Fault(TooLargeLine, "Effect file " + shownName + " is " + std::to_string(text.size()) + " bytes long, more than the " +
                                       std::to_string(MaxFileBytes) + " an effect may have; it is not loaded");
        return result;
    }
    const auto binary = std::find_if(text.begin(), text.end(), [](char c) { return !IsTextByte(static_cast<unsigned char>(c)); });
    if (binary != text.end())
    {
        result.readable = false;
        reader.Fault(NotTextLine, "Effect file " + shownName + " is not text (byte " +
                                      std::to_string(static_cast<unsigned char>(*binary)) + " at offset " +
                                      std::to_string(binary - text.begin()) + "); it is not loaded");
        return result;
    }

    reader.Write(ShaderHeader);
    size_t lineNumber = 0;
    size_t at = 0;
    while (at < text.size())
    {
        const size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1); // a line ended the Windows way
        if (!line.empty() && line.front() == '$')
        {
            reader.Directive(line, lineNumber);
            continue;
        }
        if (result.foundMain)
        {
            reader.Write("\t");
            reader.Write(line);
            reader.Write("\n");
        }
    }

    if (result.foundMain)
        reader.Write("}\n");
    else
        reader.Fault(NoMainLine, "Never found $main directive in effect file " + shownName);
    return result;
}

std::vector<EffectParser::SamplerUnit> EffectParser::AssignUnits(const Result& effect,
                                                                 const std::function<bool(const std::string&)>& isActive)
{
    std::vector<SamplerUnit> units;
    int32_t next = 0;
    for (uint32_t channel = 0; channel < ChannelCount; ++channel)
    {
        const std::string sampler = ChannelSamplers[channel];
        if (isActive(sampler))
            units.push_back({sampler, next++, false, channel});
    }
    for (uint32_t image = 0; image < effect.images.size(); ++image)
    {
        if (isActive(effect.images[image]))
            units.push_back({effect.images[image], next++, true, image});
    }
    return units;
}

bool EffectParser::IsError(const Fault& fault)
{
    return fault.logLine == SourceWithoutNameLine || fault.logLine == ImageWithoutNameLine || fault.logLine == VariableWithoutNameLine ||
           fault.logLine == NoMainLine;
}

bool EffectParser::IsIdentifier(std::string_view word)
{
    if (word.empty() || word.size() > 64)
        return false;
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!letter(word.front()))
        return false;
    return std::all_of(word.begin(), word.end(), [&](char c) { return letter(c) || digit(c); });
}

std::string EffectParser::Printable(std::string_view text)
{
    std::string shown;
    for (const char c : text.substr(0, 80))
        shown += (c >= 0x20 && c <= 0x7E) ? c : '?';
    if (text.size() > 80)
        shown += "...";
    return shown;
}
