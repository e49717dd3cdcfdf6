#include "DistanceField.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <iterator>
#include <limits>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "GlyphBitmap.h"

namespace
{
constexpr uint16_t InsideThreshold = 32767;

uint32_t ClampSpread(uint32_t spread)
{
    return std::clamp(spread, 1u, MaxDistanceFieldSpread);
}

// Shared by both versions so that they can differ only in how the squared distance is found.
uint16_t EncodeSample(float squaredDistance, bool inside, float spread)
{
    float d = std::sqrt(squaredDistance) / spread;
    d = std::min(std::max(d, 0.0f), 1.0f);
    const float value = inside ? 32767.0f + d * 32768.0f : 32767.0f - d * 32767.0f;
    return static_cast<uint16_t>(value);
}

// The four kinds of corner point, named after the odd sample of the 2 x 2 block: it lights the
// quadrant diagonally opposite that sample.
enum CornerKind : uint8_t
{
    CornerTopLeft,     // odd sample (x, y)
    CornerTopRight,    // odd sample (x + 1, y)
    CornerBottomLeft,  // odd sample (x, y + 1)
    CornerBottomRight, // odd sample (x + 1, y + 1)
    NoCorner,
};

CornerKind ClassifyBlock(bool topLeft, bool topRight, bool bottomLeft, bool bottomRight)
{
    const int insideCount = topLeft + topRight + bottomLeft + bottomRight;
    if (insideCount != 1 && insideCount != 3)
        return NoCorner;
    const bool odd = insideCount == 1; // the lone inside sample, or the lone outside one
    if (topLeft == odd)
        return CornerTopLeft;
    if (topRight == odd)
        return CornerTopRight;
    if (bottomLeft == odd)
        return CornerBottomLeft;
    return CornerBottomRight;
}

// The fast version works in doubled coordinates, where pixel (i, j) sits at (2i, 2j), crossings
// and corner points at odd positions, and every squared distance is an integer: four times the
// true one. Integers keep every comparison exact, so the result is the reference's to the bit.
//
// It need not copy where the reference's reaches end (spread + 1 pixels from a crossing or corner
// on one side, spread on the other): every candidate that an end leaves out is more than the
// spread away, and so is every one let in past the spread, so both give the cap. What remains is,
// per pixel, the nearest crossing in its row, in its column, and the nearest corner point of each
// kind on whose lit side the pixel lies, the lit sides taken exactly as the reference takes them.

// One parabola height + (q - vertex)^2 of the lower envelope, kept as the line
// (height + vertex^2) - 2 vertex q, since the q^2 that all of them share does not change the order.
struct HullLine
{
    int32_t vertex; // doubled position, decreasing along the sweep
    int32_t height; // squared doubled distance at the vertex
    int64_t Offset() const { return static_cast<int64_t>(height) + static_cast<int64_t>(vertex) * vertex; }
    int64_t At(int64_t query) const { return height + (query - vertex) * (query - vertex); }
};

// The encoded sample of every squared distance up to the cap, inside and outside, so that the
// square root and division of the encoding are made once per distance rather than once per pixel.
const std::vector<uint16_t>& EncodingTable(int32_t spread, int32_t cap)
{
    thread_local int32_t tableSpread = 0;
    thread_local std::vector<uint16_t> table;
    if (tableSpread != spread)
    {
        table.resize(2 * (static_cast<size_t>(cap) + 1));
        for (int32_t d = 0; d <= cap; ++d)
        {
            table[2 * static_cast<size_t>(d)] = EncodeSample(static_cast<float>(d) * 0.25f, false, static_cast<float>(spread));
            table[2 * static_cast<size_t>(d) + 1] = EncodeSample(static_cast<float>(d) * 0.25f, true, static_cast<float>(spread));
        }
        tableSpread = spread;
    }
    return table;
}

// An inclusive range of columns and rows; empty while `lastX` < `firstX`.
struct Box
{
    int32_t firstX = std::numeric_limits<int32_t>::max();
    int32_t lastX = std::numeric_limits<int32_t>::min();
    int32_t firstY = std::numeric_limits<int32_t>::max();
    int32_t lastY = std::numeric_limits<int32_t>::min();

    bool Empty() const { return lastX < firstX; }
    void Add(int32_t x, int32_t y)
    {
        firstX = std::min(firstX, x);
        lastX = std::max(lastX, x);
        firstY = std::min(firstY, y);
        lastY = std::max(lastY, y);
    }
};

class FieldBuilder
{
public:
    FieldBuilder(GlyphBitmap& bitmap, uint32_t spread)
        : bitmap(bitmap), w(bitmap.width), h(bitmap.height), spread(static_cast<int32_t>(spread)),
          cap(4 * static_cast<int32_t>(spread) * static_cast<int32_t>(spread)), inside(Count()), distance(Count(), cap)
    {
        for (size_t k = 0; k < Count(); ++k)
            inside[k] = bitmap.samples[k] > InsideThreshold;
        for (int32_t y = 0; y < h; ++y)
        {
            const uint8_t* row = &inside[Index(0, y)];
            const uint8_t* first = std::find(row, row + w, 1);
            if (first == row + w)
                continue;
            const uint8_t* last = std::find(std::make_reverse_iterator(row + w), std::make_reverse_iterator(row), 1).base() - 1;
            insideBox.Add(static_cast<int32_t>(first - row), y);
            insideBox.Add(static_cast<int32_t>(last - row), y);
        }
    }

    void Build()
    {
        // Crossings and corners only lie next to inside samples; without any, every pixel is
        // outside and beyond reach.
        if (!insideBox.Empty())
        {
            Rows();
            Columns();
            Corners();
        }
        const std::vector<uint16_t>& table = EncodingTable(spread, cap);
        for (size_t k = 0; k < Count(); ++k)
            bitmap.samples[k] = table[2 * static_cast<size_t>(distance[k]) + inside[k]];
    }

private:
    size_t Count() const { return static_cast<size_t>(w) * static_cast<size_t>(h); }
    size_t Index(int32_t x, int32_t y) const { return static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x); }

    // Squared doubled distance `e`, or nothing when it cannot beat the cap (e is odd, so e below
    // twice the spread is exactly the set that stays under it).
    void Offer(size_t k, int32_t e)
    {
        if (e < 2 * spread)
            distance[k] = std::min(distance[k], e * e);
    }

    void Rows()
    {
        constexpr int32_t none = std::numeric_limits<int32_t>::min() / 2;
        // A crossing lies between columns firstX - 1 and lastX + 1 of the inside samples, and
        // reaches no further than the spread from there.
        const int32_t iFirst = std::max(0, insideBox.firstX - spread);
        const int32_t iLast = std::min(w - 1, insideBox.lastX + spread);
        for (int32_t y = insideBox.firstY; y <= insideBox.lastY; ++y)
        {
            const size_t rowStart = Index(0, y);
            int32_t last = none;
            for (int32_t i = iFirst; i <= iLast; ++i)
            {
                if (i >= 1 && inside[rowStart + i - 1] != inside[rowStart + i])
                    last = 2 * i - 1;
                if (last != none)
                    Offer(rowStart + i, 2 * i - last);
            }
            int32_t next = none;
            for (int32_t i = iLast; i >= iFirst; --i)
            {
                if (i + 1 < w && inside[rowStart + i] != inside[rowStart + i + 1])
                    next = 2 * i + 1;
                if (next != none)
                    Offer(rowStart + i, next - 2 * i);
            }
        }
    }

    void Columns()
    {
        // Swept row by row for all columns at once, so that memory is read in order.
        constexpr int32_t none = std::numeric_limits<int32_t>::min() / 2;
        const int32_t jFirst = std::max(0, insideBox.firstY - spread);
        const int32_t jLast = std::min(h - 1, insideBox.lastY + spread);
        const int32_t xFirst = insideBox.firstX;
        const int32_t xLast = insideBox.lastX;
        std::vector<int32_t> crossing(static_cast<size_t>(w), none);
        for (int32_t y = jFirst; y <= jLast; ++y)
            for (int32_t x = xFirst; x <= xLast; ++x)
            {
                if (y >= 1 && inside[Index(x, y - 1)] != inside[Index(x, y)])
                    crossing[x] = 2 * y - 1;
                if (crossing[x] != none)
                    Offer(Index(x, y), 2 * y - crossing[x]);
            }
        std::fill(crossing.begin(), crossing.end(), none);
        for (int32_t y = jLast; y >= jFirst; --y)
            for (int32_t x = xFirst; x <= xLast; ++x)
            {
                if (y + 1 < h && inside[Index(x, y)] != inside[Index(x, y + 1)])
                    crossing[x] = 2 * y + 1;
                if (crossing[x] != none)
                    Offer(Index(x, y), crossing[x] - 2 * y);
            }
    }

    void Corners()
    {
        // Corner blocks (x, y) to (x + 1, y + 1) that hold an inside sample.
        corners.firstX = std::max(0, insideBox.firstX - 1);
        corners.lastX = std::min(w - 2, insideBox.lastX);
        corners.firstY = std::max(0, insideBox.firstY - 1);
        corners.lastY = std::min(h - 2, insideBox.lastY);
        if (corners.Empty() || corners.lastY < corners.firstY)
            return;
        cornerStride = corners.lastX - corners.firstX + 1;
        kinds.assign(static_cast<size_t>(cornerStride) * static_cast<size_t>(corners.lastY - corners.firstY + 1), NoCorner);
        Box kindBoxes[4];
        for (int32_t y = corners.firstY; y <= corners.lastY; ++y)
            for (int32_t x = corners.firstX; x <= corners.lastX; ++x)
            {
                const CornerKind kind = ClassifyBlock(inside[Index(x, y)], inside[Index(x + 1, y)], inside[Index(x, y + 1)],
                                                      inside[Index(x + 1, y + 1)]);
                KindAt(x, y) = kind;
                if (kind != NoCorner)
                    kindBoxes[kind].Add(x, y);
            }
        std::vector<int32_t> nearestRow(static_cast<size_t>(w));
        std::vector<int32_t> heights(static_cast<size_t>(w));
        std::vector<HullLine> hull(static_cast<size_t>(w));
        for (uint8_t kind = 0; kind < 4; ++kind)
            if (!kindBoxes[kind].Empty())
                CornerKindPass(static_cast<CornerKind>(kind), kindBoxes[kind], nearestRow, heights, hull);
    }

    uint8_t& KindAt(int32_t x, int32_t y)
    {
        return kinds[static_cast<size_t>(y - corners.firstY) * static_cast<size_t>(cornerStride) + static_cast<size_t>(x - corners.firstX)];
    }

    // One kind of corner point lights the pixels on one side of it in x and on one side in y:
    //   top-left and bottom-left odd samples light columns i >= x + 1, the others columns i <= x;
    //   bottom odd samples light rows j <= y, top odd samples rows j >= y (row y included, so a
    //   top corner also reaches the row it sits under by half a pixel).
    // Within one pixel row, the distance to the nearest such point is the lower envelope, over the
    // corner columns on the lit side, of (squared distance to the nearest point of that column on
    // the lit side) + (column offset)^2: parabolas of one curvature, found with a monotone hull.
    // Rows are swept towards the lit side so that each column's nearest point is carried along.
    void CornerKindPass(CornerKind kind, const Box& box, std::vector<int32_t>& nearestRow, std::vector<int32_t>& heights,
                        std::vector<HullLine>& hull)
    {
        const bool lightsRight = kind == CornerTopLeft || kind == CornerBottomLeft;
        const bool lightsUp = kind == CornerBottomLeft || kind == CornerBottomRight;
        constexpr int32_t none = std::numeric_limits<int32_t>::min() / 2;
        std::fill(nearestRow.begin(), nearestRow.end(), none);
        std::fill(heights.begin(), heights.end(), cap);

        // Rows from the far side of the points to the spread beyond their near side.
        const int32_t jStart = lightsUp ? box.lastY : box.firstY;
        const int32_t jEnd = lightsUp ? std::max(0, box.firstY - spread) : std::min(h - 1, box.lastY + spread + 1);
        const int32_t jStep = lightsUp ? -1 : 1;
        for (int32_t j = jStart; j != jEnd + jStep; j += jStep)
        {
            int32_t firstLit = std::numeric_limits<int32_t>::max();
            int32_t lastLit = -1;
            const bool pointsInRow = j >= box.firstY && j <= box.lastY;
            for (int32_t x = box.firstX; x <= box.lastX; ++x)
            {
                if (pointsInRow && KindAt(x, j) == kind)
                    nearestRow[x] = j;
                // Bottom odd samples: the nearest point at or below the row, 2(y - j) + 1 away
                // doubled; top ones: at or above it, |2(j - y) - 1| away.
                const int32_t e = nearestRow[x] == none ? 2 * spread
                                  : lightsUp             ? 2 * (nearestRow[x] - j) + 1
                                                         : std::abs(2 * (j - nearestRow[x]) - 1);
                if (e < 2 * spread)
                {
                    heights[x] = e * e;
                    firstLit = std::min(firstLit, x);
                    lastLit = x;
                }
                else
                    heights[x] = cap;
            }
            if (lastLit < 0)
                continue;

            // Only pixels within the spread of a lit column can get closer than the cap.
            const int32_t iFirst = std::max(0, lightsRight ? firstLit + 1 : firstLit - spread);
            const int32_t iLast = std::min(w - 1, lightsRight ? lastLit + spread + 1 : lastLit);
            int32_t* distanceRow = &distance[Index(0, j)];
            size_t head = 0;
            size_t tail = 0;
            // Positions are negated when sweeping rightwards, so that both sweeps see vertices
            // and queries that only decrease.
            const int32_t count = iLast - iFirst + 1;
            for (int32_t s = 0; s < count; ++s)
            {
                const int32_t i = lightsRight ? iFirst + s : iLast - s;
                const int32_t x = lightsRight ? i - 1 : i; // the corner column that joins the envelope
                if (x >= 0 && x < w && heights[x] < cap)
                {
                    const HullLine line{lightsRight ? -(2 * x + 1) : 2 * x + 1, heights[x]};
                    const int64_t lineOffset = line.Offset();
                    while (tail - head >= 2)
                    {
                        const HullLine& a = hull[tail - 1];
                        const HullLine& b = hull[tail - 2];
                        // `a` is never lowest once `line` meets it no further right than `b` does
                        // (the lines' slopes are minus twice their vertices).
                        const int64_t aOffset = a.Offset();
                        if ((aOffset - lineOffset) * (b.vertex - a.vertex) >= (b.Offset() - aOffset) * (a.vertex - line.vertex))
                            --tail;
                        else
                            break;
                    }
                    hull[tail++] = line;
                }
                if (head == tail)
                    continue;
                const int64_t query = lightsRight ? -2 * i : 2 * i;
                while (tail - head >= 2 && hull[head + 1].At(query) <= hull[head].At(query))
                    ++head;
                const int64_t best = hull[head].At(query);
                if (best < distanceRow[i])
                    distanceRow[i] = static_cast<int32_t>(best);
            }
        }
    }

    GlyphBitmap& bitmap;
    const int32_t w;
    const int32_t h;
    const int32_t spread;
    const int32_t cap; // the spread squared, doubled coordinates
    std::vector<uint8_t> inside;
    std::vector<int32_t> distance;
    Box insideBox;
    Box corners; // the corner blocks classified
    int32_t cornerStride = 0;
    std::vector<uint8_t> kinds;
};
} // namespace

void GenerateDistanceField(GlyphBitmap& bitmap, uint32_t spread)
{
    if (bitmap.samples == nullptr || bitmap.width <= 0 || bitmap.height <= 0)
        return;
    FieldBuilder(bitmap, ClampSpread(spread)).Build();
}

void GenerateDistanceFieldReference(GlyphBitmap& bitmap, uint32_t spreadGiven)
{
    if (bitmap.samples == nullptr || bitmap.width <= 0 || bitmap.height <= 0)
        return;
    const int64_t spread = ClampSpread(spreadGiven);
    const int64_t w = bitmap.width;
    const int64_t h = bitmap.height;
    auto inside = [&](int64_t x, int64_t y) { return bitmap.samples[y * w + x] > InsideThreshold; };
    std::vector<float> dist(static_cast<size_t>(w * h), static_cast<float>(spread * spread));
    auto lower = [&](int64_t i, int64_t j, float d) {
        float& cell = dist[static_cast<size_t>(j * w + i)];
        cell = std::min(cell, d);
    };

    for (int64_t y = 0; y < h; ++y)
        for (int64_t x = 1; x < w; ++x)
            if (inside(x - 1, y) != inside(x, y))
            {
                const float ex = static_cast<float>(x) - 0.5f;
                for (int64_t i = std::max<int64_t>(x - spread - 1, 0); i <= std::min(w - 1, x + spread); ++i)
                {
                    const float d = static_cast<float>(i) - ex;
                    lower(i, y, d * d);
                }
            }

    for (int64_t y = 1; y < h; ++y)
        for (int64_t x = 0; x < w; ++x)
            if (inside(x, y - 1) != inside(x, y))
            {
                const float ey = static_cast<float>(y) - 0.5f;
                for (int64_t j = std::max<int64_t>(y - spread - 1, 0); j <= std::min(h - 1, y + spread); ++j)
                {
                    const float d = static_cast<float>(j) - ey;
                    lower(x, j, d * d);
                }
            }

    for (int64_t y = 0; y + 1 < h; ++y)
        for (int64_t x = 0; x + 1 < w; ++x)
        {
            const CornerKind kind = ClassifyBlock(inside(x, y), inside(x + 1, y), inside(x, y + 1), inside(x + 1, y + 1));
            if (kind == NoCorner)
                continue;
            int64_t iFirst, iLast, jFirst, jLast;
            if (kind == CornerBottomRight || kind == CornerTopRight)
            {
                iFirst = std::max<int64_t>(x - spread, 0);
                iLast = x;
            }
            else
            {
                iFirst = x + 1;
                iLast = std::min(w - 1, x + spread + 1);
            }
            if (kind == CornerBottomRight || kind == CornerBottomLeft)
            {
                jFirst = std::max<int64_t>(y - spread, 0);
                jLast = y;
            }
            else
            {
                jFirst = y;
                jLast = std::min(h - 1, y + spread + 1);
            }
            const float cx = static_cast<float>(x) + 0.5f;
            const float cy = static_cast<float>(y) + 0.5f;
            for (int64_t j = jFirst; j <= jLast; ++j)
                for (int64_t i = iFirst; i <= iLast; ++i)
                {
                    const float dx = cx - static_cast<float>(i);
                    const float dy = cy - static_cast<float>(j);
                    lower(i, j, dx * dx + dy * dy);
                }
        }

    const float spreadF = static_cast<float>(spread);
    for (int64_t k = 0; k < w * h; ++k)
        bitmap.samples[k] = EncodeSample(dist[static_cast<size_t>(k)], bitmap.samples[k] > InsideThreshold, spreadF);
}

void GenerateDistanceFields(std::vector<GlyphBitmap>& bitmaps, uint32_t spread, uint32_t threads,
                            const std::function<void(size_t)>& onProgress)
{
    const size_t count = bitmaps.size();
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    const size_t helpers = std::min<size_t>(threads, count) > 0 ? std::min<size_t>(threads, count) - 1 : 0;

    std::atomic<size_t> nextJob{0};
    std::unique_ptr<std::atomic<bool>[]> done(new std::atomic<bool>[count]);
    for (size_t k = 0; k < count; ++k)
        done[k].store(false);
    std::exception_ptr failure;
    std::atomic<bool> failed{false};

    auto work = [&]() -> bool {
        const size_t job = nextJob.fetch_add(1);
        if (job >= count)
            return false;
        try
        {
            GenerateDistanceField(bitmaps[job], spread);
        }
        catch (...)
        {
            // Only the first failure is kept; it is raised again on the calling thread.
            if (!failed.exchange(true))
                failure = std::current_exception();
        }
        done[job].store(true, std::memory_order_release);
        return true;
    };

    std::vector<std::thread> pool;
    pool.reserve(helpers);
    for (size_t k = 0; k < helpers; ++k)
    {
        try
        {
            pool.emplace_back([&]() {
                while (work())
                {
                }
            });
        }
        catch (const std::system_error&)
        {
            break; // fewer threads than asked for only costs time
        }
    }

    size_t reported = 0;
    auto report = [&]() {
        while (reported < count && done[reported].load(std::memory_order_acquire))
        {
            ++reported;
            if (onProgress && !failed.load())
                onProgress(reported);
        }
    };
    while (work())
        report();
    for (std::thread& thread : pool)
        thread.join();
    report();
    if (failure)
        std::rethrow_exception(failure);
}
