#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class GlyphBitmap;

/// Spreads are clamped to 1 up to this many pixels. Beyond it the squared distances of the field
/// would no longer all be exact in single precision, and the result would hang on summation order.
constexpr uint32_t MaxDistanceFieldSpread = 1024;

/// Rewrites the coverage samples of `bitmap` (inside where a sample exceeds 32767) in place as a
/// signed distance field over `spread` pixels: 32767 on the outline, rising to 65535 inside and
/// falling to 0 outside. A pixel's distance is the smallest of the distance to an inside/outside
/// crossing in its own row, in its own column, and to a qualifying corner point of a 2 x 2 block
/// with exactly one odd sample. Gives exactly the samples of `GenerateDistanceFieldReference`,
/// with work proportional to the pixel count instead of to the edge length times the spread.
/// Thread-safe for distinct bitmaps. A bitmap without samples is left alone.
void GenerateDistanceField(GlyphBitmap& bitmap, uint32_t spread);

/// The same field, computed as plainly as it is defined: every crossing and corner point writes its
/// distance into every pixel within reach. Slow (a corner touches up to (spread + 1)^2 pixels); it
/// is the oracle that the fast version is checked and measured against.
void GenerateDistanceFieldReference(GlyphBitmap& bitmap, uint32_t spread);

/// `GenerateDistanceField` of every bitmap, the bitmaps shared out among `threads` threads (0: one
/// per hardware thread; the calling thread is one of them). The result does not depend on the
/// thread count or on timing. `onProgress(n)` runs on the calling thread for every n from 1 to the
/// number of bitmaps, in order, once the first n bitmaps are done; it may be empty.
void GenerateDistanceFields(std::vector<GlyphBitmap>& bitmaps, uint32_t spread, uint32_t threads,
                            const std::function<void(size_t)>& onProgress);
