#pragma once

/// Where one character sits in the font atlas and how its quad stands on the pen, in the order of
/// a ".fontMeta" line. All zeros is an empty quad that does not move the pen.
struct Glyph
{
    /// The padded glyph's rectangle in the atlas, texture units (v = 0 is the first row stored).
    float uLeft = 0.0f;
    float vTop = 0.0f;
    float uRight = 0.0f;
    float vBottom = 0.0f;
    /// The quad relative to the pen, world units at text scale 1: offsetY is its top edge above
    /// the baseline, and it extends `height` below that.
    float offsetX = 0.0f;
    float offsetY = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
    /// How far the pen moves after this glyph, world units at text scale 1.
    float advance = 0.0f;
};
