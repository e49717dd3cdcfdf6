#include "Shader.h"

#include <iostream>
#include <utility>

#include <glad/gl.h>

#include "Utilities.h"

namespace
{
bool CompileStage(uint32_t shader, const std::string& path, const char* stageName)
{
    const std::string source = LoadFileToString(path);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint status = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status == GL_TRUE)
    {
        std::cout << '"' << path << '"' << " compiled successfully." << std::endl;
        return true;
    }
    char infoLog[512] = {};
    glGetShaderInfoLog(shader, sizeof(infoLog), nullptr, infoLog);
    std::cout << stageName << path << " failed with error:" << std::endl << infoLog << std::endl;
    return false;
}
} // namespace

Shader::Shader(std::string vertexPath, std::string fragmentPath)
{
    owned = true;
    vertexPath = "Data/" + vertexPath;
    fragmentPath = "Data/" + fragmentPath;
    vertexShader = glCreateShader(GL_VERTEX_SHADER);
    fragmentShader = glCreateShader(GL_FRAGMENT_SHADER);
    program = glCreateProgram();

    // Both stages are compiled and the link attempted even after a failure, so every problem of
    // a shader pair is reported in one start.
    if (!CompileStage(vertexShader, vertexPath, "Vertex shader "))
        owned = false;
    if (!CompileStage(fragmentShader, fragmentPath, "Fragment shader "))
        owned = false;

    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    glLinkProgram(program);
    GLint status = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status != GL_TRUE)
    {
        char infoLog[512] = {};
        glGetProgramInfoLog(program, sizeof(infoLog), nullptr, infoLog);
        std::cout << "Error linking shaders \"" << vertexPath << "\" and \"" << fragmentPath << '"' << std::endl
                  << infoLog << std::endl;
        owned = false;
    }

    if (owned)
    {
        std::cout << "It appears that things are pretty okay" << std::endl;
        return;
    }
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    glDeleteProgram(program);
}

Shader::~Shader()
{
    Release();
}

Shader::Shader(Shader&& other) noexcept
    : vertexShader(other.vertexShader), fragmentShader(other.fragmentShader), program(other.program), owned(other.owned)
{
    other.vertexShader = other.fragmentShader = other.program = NoObject;
    other.owned = false;
}

Shader& Shader::operator=(Shader&& other) noexcept
{
    if (this == &other)
        return *this;
    Release();
    vertexShader = std::exchange(other.vertexShader, NoObject);
    fragmentShader = std::exchange(other.fragmentShader, NoObject);
    program = std::exchange(other.program, NoObject);
    owned = std::exchange(other.owned, false);
    return *this;
}

void Shader::Release()
{
    if (!owned)
        return;
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    glDeleteProgram(program);
    owned = false;
}
