#pragma once

#include <string>

class Level;

/// The limits within which a level file loads back whole: the level loader refuses a file whose
/// coordinates lie beyond `MaxWorldCoordinate` (or are not numbers), whose shapes compile to more
/// than `Level::MaxCompiledPoints`, or whose magnetic edges need fields larger than the loader
/// builds. The editor holds every edit within them, so that nothing it saves is refused when it is
/// loaded again. This is the one place that repeats the loader's rules for the editor.
class LevelLimits
{
public:
    /// Empty when a file written from `level` loads back whole; otherwise, for the designer, what
    /// would be refused. Reads the compiled segments, so every shape must be compiled; a pass over
    /// the level's points and segments without allocating.
    static std::string Check(const Level& level);
};
