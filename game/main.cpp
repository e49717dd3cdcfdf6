#include <exception>
#include <iostream>
#include <memory>

#include <GLFW/glfw3.h>

#include "Font.h"
#include "FramePacer.h"
#include "InputNames.h"
#include "LedrowGame.h"
#include "LogChannel.h"
#include "StartupHeap.h"

int main(int, char**)
{
    // Before anything allocates much, so that start-up's large buffers are faulted in by the
    // large page rather than 4 KiB at a time.
    StartupHeap::Reserve(StartupHeap::GameStartBytes);

    // First, so that the list of bindable names is there even when start-up fails later on.
    WriteControlInfo();

    // Reading the font cache overlaps opening the window, which takes as long.
    Font::PrefetchCachedAtlas(Font::GameFontName);

    int exitCode = 0;
    try
    {
        auto game = std::make_unique<LedrowGame>();
        if (!game->IsReady())
        {
            std::cerr << "Quorvane Ledrow could not start: " << game->GetStartupFailure() << "." << std::endl;
            return 1;
        }

        // The swap is meant to wait for each refresh; where it does not, the loop waits out the rest
        // of the period itself so that the fixed step keeps to the clock.
        FramePacer pacer(1.0 / game->refreshRate);
        try
        {
            while (!glfwWindowShouldClose(game->window) && !game->quit)
            {
                game->UpdateMenus();
                game->Render();
                // Start-up is over once the first frame is shown.
                StartupHeap::Release();
                pacer.WaitForNextFrame();
            }
        }
        catch (const std::exception& fault)
        {
            WarningLog << LogLocation(__FILE__, 41) << "The game stopped on an unexpected fault: " << fault.what();
            WarningLog.EndMessage();
            exitCode = 1;
        }
        // The game is destroyed here, also after a fault, so the settings, logs and window are closed properly.
    }
    catch (const std::exception& fault)
    {
        std::cerr << "Quorvane Ledrow could not start: " << fault.what() << std::endl;
        return 1;
    }
    return exitCode;
}
