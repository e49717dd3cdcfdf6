#pragma once

#include <cstdint>
#include <string>

/// A linked OpenGL program built from a vertex and a fragment shader file read below "Data/".
/// Compile and link results go to standard output. A shader that failed to build is not owned
/// and deletes nothing; its program id still names a (deleted) object that users may bind.
/// Needs the window's context current for its whole life.
class Shader
{
public:
    static constexpr uint32_t NoObject = 0xFFFFFFFFu;

    uint32_t vertexShader = NoObject;
    uint32_t fragmentShader = NoObject;
    uint32_t program = NoObject;
    bool owned = false;

    /// An empty shader: no objects, owns nothing.
    Shader() = default;
    /// Builds the program from "Data/" + `vertexPath` and "Data/" + `fragmentPath`.
    Shader(std::string vertexPath, std::string fragmentPath);
    ~Shader();

    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;
    /// Takes over the other shader's objects; the other is left empty.
    Shader(Shader&& other) noexcept;
    Shader& operator=(Shader&& other) noexcept;

private:
    void Release();
};
