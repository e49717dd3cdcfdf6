#pragma once

#include <cstdint>

/// The surface of one world-shape edge, stored as a u32 on the shape point the edge leaves and
/// copied into its compiled segment. Level files may hold any u32 here; a value without a name
/// (6, or anything above 9) is drawn without colours or decorations of its own.
enum class SurfaceType : uint32_t
{
    Plain = 0,
    ClockwiseAccelerator = 1,
    AnticlockwiseAccelerator = 2,
    Jagged = 3,
    MagneticAttractor = 4,
    MagneticRepulsor = 5,
    // 6 has never named a surface.
    Bouncer = 7,
    /// No physics fixture; never offered in the editor's menu.
    Passable = 8,
    /// Only the type of a surface strip before its first segment joins it.
    Unset = 9,
};

/// The text the editor's menu shows for `type` ("Plain", "Bouncer", ...); "" for the types the
/// menu does not offer.
inline const char* SurfaceTypeName(SurfaceType type)
{
    switch (type)
    {
    case SurfaceType::Plain: return "Plain";
    case SurfaceType::ClockwiseAccelerator: return "Clockwise Accelerator";
    case SurfaceType::AnticlockwiseAccelerator: return "Anticlockwise Accelerator";
    case SurfaceType::Jagged: return "Jagged";
    case SurfaceType::MagneticAttractor: return "Magnetic attractor";
    case SurfaceType::MagneticRepulsor: return "Magnetic repulsor";
    case SurfaceType::Bouncer: return "Bouncer";
    default: return "";
    }
}

/// True for the two magnetic types, whose segments have an influence box and a force field.
inline bool IsMagnetic(SurfaceType type)
{
    return type == SurfaceType::MagneticAttractor || type == SurfaceType::MagneticRepulsor;
}
