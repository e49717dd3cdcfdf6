#include "PolylineBoxes.h"

#include <algorithm>

void PolylineBoxes::Update(const DynArray<glm::vec2>& points, uint32_t firstChanged)
{
    const uint32_t count = BoxCountFor(points.count);
    // The piece that ends at the first changed point starts one point earlier.
    const uint32_t firstPiece = firstChanged > 0 ? firstChanged - 1 : 0;
    const uint32_t firstBox = std::min(firstPiece / PiecesPerBox, std::min(boxes.count, count));
    // Sized to fit: a polyline's boxes are rebuilt far more often than they grow.
    if (count > boxes.capacity || (count > 0 && boxes.capacity > 2 * count))
        boxes.Reserve(count);
    boxes.Resize(count);
    for (uint32_t k = firstBox; k < count; ++k)
    {
        const uint32_t first = k * PiecesPerBox;
        const uint32_t last = std::min(first + PiecesPerBox, points.count - 1);
        boxes[k] = BoxAround(&points[first], last - first + 1);
    }
}

uint32_t PolylineBoxes::BoxCountFor(uint32_t pointCount)
{
    if (pointCount < 2)
        return 0;
    return (pointCount - 1 + PiecesPerBox - 1) / PiecesPerBox;
}

PolylineBoxes::Box PolylineBoxes::BoxOf(glm::vec2 a, glm::vec2 b)
{
    return {std::min(a.x, b.x), std::max(a.x, b.x), std::min(a.y, b.y), std::max(a.y, b.y)};
}

PolylineBoxes::Box PolylineBoxes::BoxAround(const glm::vec2* points, uint32_t count)
{
    Box box{points[0].x, points[0].x, points[0].y, points[0].y};
    for (uint32_t i = 1; i < count; ++i)
    {
        box.minX = std::min(box.minX, points[i].x);
        box.maxX = std::max(box.maxX, points[i].x);
        box.minY = std::min(box.minY, points[i].y);
        box.maxY = std::max(box.maxY, points[i].y);
    }
    return box;
}

PolylineBoxes::Box PolylineBoxes::Grown(const Box& box, float margin)
{
    return {box.minX - margin, box.maxX + margin, box.minY - margin, box.maxY + margin};
}

bool PolylineBoxes::Clip(glm::vec2 a, glm::vec2 b, const Box& box, double& t0, double& t1)
{
    t0 = 0.0;
    t1 = 1.0;
    const double dx = static_cast<double>(b.x) - a.x;
    const double dy = static_cast<double>(b.y) - a.y;
    // Each side of the box keeps the parameters t with p t <= q.
    auto keep = [&](double p, double q) {
        if (p == 0.0)
            return q >= 0.0;
        const double r = q / p;
        if (p < 0.0)
        {
            if (r > t1)
                return false;
            t0 = std::max(t0, r);
        }
        else
        {
            if (r < t0)
                return false;
            t1 = std::min(t1, r);
        }
        return true;
    };
    return keep(-dx, static_cast<double>(a.x) - box.minX) && keep(dx, box.maxX - static_cast<double>(a.x)) &&
           keep(-dy, static_cast<double>(a.y) - box.minY) && keep(dy, box.maxY - static_cast<double>(a.y));
}
