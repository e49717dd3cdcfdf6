#pragma once

#include <imgui.h>

/// A user-interface context of its own, made current, with no back-end: nothing is drawn and no
/// layout file is kept, but frames begin and end and windows lay themselves out as in the game
/// (the font atlas is built). Destroying it destroys the context; one at a time.
class HeadlessInterface
{
public:
    /// `displaySize` in pixels; frames last a sixtieth of a second.
    explicit HeadlessInterface(ImVec2 displaySize) : context(ImGui::CreateContext())
    {
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = displaySize;
        io.DeltaTime = 1.0f / 60.0f;
        unsigned char* pixels = nullptr;
        int width = 0;
        int height = 0;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    }

    ~HeadlessInterface() { ImGui::DestroyContext(context); }

    HeadlessInterface(const HeadlessInterface&) = delete;
    HeadlessInterface& operator=(const HeadlessInterface&) = delete;

private:
    ImGuiContext* context;
};
