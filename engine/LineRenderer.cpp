#include "LineRenderer.h"

#include <cmath>
#include <iostream>

#include <glad/gl.h>

LineRenderer::~LineRenderer()
{
    if (created)
    {
        glDeleteBuffers(1, &positionBuffer);
        glDeleteBuffers(1, &colourBuffer);
    }
}

void LineRenderer::AddLine(glm::vec2 a, glm::vec2 b, const glm::vec3& colour)
{
    positions.push_back(a);
    positions.push_back(b);
    colours.push_back(colour);
    colours.push_back(colour);
}

void LineRenderer::AddStripPoint(glm::vec2 point)
{
    if (!stripOpen)
    {
        stripFirstColour = currentColour;
        stripLastColour = currentColour;
        stripFirstPoint = point;
        stripOpen = true;
    }
    else
    {
        positions.push_back(stripLastPoint);
        positions.push_back(point);
        colours.push_back(stripLastColour);
        colours.push_back(currentColour);
        stripLastColour = currentColour;
    }
    stripLastPoint = point;
}

void LineRenderer::CloseStrip()
{
    if (!stripOpen)
        return;
    positions.push_back(stripLastPoint);
    positions.push_back(stripFirstPoint);
    colours.push_back(stripLastColour);
    colours.push_back(stripFirstColour);
    stripOpen = false;
}

void LineRenderer::EndStrip()
{
    stripOpen = false;
}

void LineRenderer::AddCross(glm::vec2 centre, float halfSize, const glm::vec3& colour)
{
    AddLine({centre.x - halfSize, centre.y - halfSize}, {centre.x + halfSize, centre.y + halfSize}, colour);
    AddLine({centre.x + halfSize, centre.y - halfSize}, {centre.x - halfSize, centre.y + halfSize}, colour);
}

void LineRenderer::AddCircle(glm::vec2 centre, float radius, const glm::vec3& colour, int32_t segments)
{
    if (segments <= 0)
        return;
    const float step = 6.28318f / static_cast<float>(segments);
    const float c = std::cos(step);
    const float s = std::sin(step);
    glm::vec2 offset{0.0f, radius};
    for (int32_t i = 0; i < segments; ++i)
    {
        // Carried from chord to chord by rotation, so the last chord ends where rounding left it.
        const glm::vec2 next{offset.x * c + offset.y * s, offset.y * c - offset.x * s};
        AddLine(centre + offset, centre + next, colour);
        offset = next;
    }
}

void LineRenderer::CreateBuffers()
{
    if (created)
        return;
    glGenBuffers(1, &positionBuffer);
    glGenBuffers(1, &colourBuffer);
    created = true;
}

void LineRenderer::Render()
{
    if (positions.size() != colours.size())
    {
        std::cout << "ERROR: Somehow, position and colour buffer are different sizes in the line renderer. This should never happen."
                  << std::endl;
        return;
    }
    if (!positions.empty())
    {
        const auto count = static_cast<GLsizei>(positions.size());
        glBindBuffer(GL_ARRAY_BUFFER, positionBuffer);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(positions.size() * sizeof(glm::vec2)), positions.data(), GL_DYNAMIC_DRAW);
        glBindBuffer(GL_ARRAY_BUFFER, colourBuffer);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(colours.size() * sizeof(glm::vec3)), colours.data(), GL_DYNAMIC_DRAW);
        glBindBuffer(GL_ARRAY_BUFFER, positionBuffer);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(glm::vec2), reinterpret_cast<const void*>(0));
        glBindBuffer(GL_ARRAY_BUFFER, colourBuffer);
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(glm::vec3), reinterpret_cast<const void*>(0));
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glDrawArrays(GL_LINES, 0, count);
    }
    Clear();
}

void LineRenderer::Clear()
{
    stripOpen = false;
    positions.clear();
    colours.clear();
}
