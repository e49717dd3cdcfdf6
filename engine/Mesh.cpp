#include "Mesh.h"

#include <glad/gl.h>

#include "Font.h"

Mesh::~Mesh()
{
    if (created)
        glDeleteBuffers(1, &buffer);
}

void Mesh::AddUnitQuad()
{
    vertices.PushBack({-0.5f, 0.5f, 0.0f, 0.0f});
    vertices.PushBack({0.5f, 0.5f, 1.0f, 0.0f});
    vertices.PushBack({-0.5f, -0.5f, 0.0f, 1.0f});
    vertices.PushBack({-0.5f, -0.5f, 0.0f, 1.0f});
    vertices.PushBack({0.5f, 0.5f, 1.0f, 0.0f});
    vertices.PushBack({0.5f, -0.5f, 1.0f, 1.0f});
}

void Mesh::AddQuad(glm::vec2 posA, glm::vec2 posB, glm::vec2 uvA, glm::vec2 uvB)
{
    vertices.PushBack({posA.x, posA.y, uvA.x, uvA.y});
    vertices.PushBack({posB.x, posA.y, uvB.x, uvA.y});
    vertices.PushBack({posA.x, posB.y, uvA.x, uvB.y});
    vertices.PushBack({posA.x, posB.y, uvA.x, uvB.y});
    vertices.PushBack({posB.x, posA.y, uvB.x, uvA.y});
    vertices.PushBack({posB.x, posB.y, uvB.x, uvB.y});
}

void Mesh::AddText(std::string text, glm::vec2 position, float scale, const Font& font)
{
    glm::vec2 pen = position;
    for (const char byte : text)
    {
        // Widened as a signed char, every byte above 127 becomes a key from 0xFF80 up, which no
        // glyph of the font has.
        const uint16_t key = static_cast<uint16_t>(static_cast<signed char>(byte));
        const Glyph& glyph = font.GetGlyph(key);
        const glm::vec2 topLeft{pen.x + glyph.offsetX * scale, pen.y + glyph.offsetY * scale};
        const glm::vec2 bottomRight{pen.x + (glyph.offsetX + glyph.width) * scale, pen.y + (glyph.offsetY - glyph.height) * scale};
        AddQuad(topLeft, bottomRight, {glyph.uLeft, glyph.vTop}, {glyph.uRight, glyph.vBottom});
        pen.x += glyph.advance * scale;
    }
}

void Mesh::CreateBuffer()
{
    if (created)
        return;
    glGenBuffers(1, &buffer);
    created = true;
}

void Mesh::Upload()
{
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.count * sizeof(MeshVertex)), vertices.items, GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void Mesh::Draw()
{
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(MeshVertex), reinterpret_cast<const void*>(0));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof(MeshVertex), reinterpret_cast<const void*>(8));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.count));
}
