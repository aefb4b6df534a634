// Opens a tool's panel in the stand-in host, lets Windows draw it and
// writes what the screen shows of it to a BMP file:
//   panel_screenshot.exe Tarvel|Velkora out.bmp
// Used by scripts/panel-screenshots.sh; no test.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "hosting/plugin_directory.h"
#include "standin/plugin_loader.h"
#include "standin/standin_interface.h"
#include "standin/standin_scene.h"
#include "utility_plugin.h"

namespace {

void Pump() {
    for (int round = 0; round < 50; ++round) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(20);
    }
}

bool WriteBmp(const std::string& path, HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as BMP files keep it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + stride * height;
    FILE* out = std::fopen(path.c_str(), "wb");
    bool written = out != nullptr && std::fwrite(&header, sizeof header, 1, out) == 1 &&
                   std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                   std::fwrite(bits, stride * height, 1, out) == 1;
    if (out != nullptr) {
        written = std::fclose(out) == 0 && written;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: panel_screenshot Tarvel|Velkora out.bmp\n");
        return 2;
    }
    std::string error;
    auto library = standin::PluginLibrary::Load(driver::PluginDirectory() + "/" + argv[1] + ".dlu", error);
    if (library == nullptr || library->LibClassDesc(0) == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    standin::StandinScene scene;
    standin::StandinNode& door = scene.AddNode(scene.Root(), "Door");
    standin::StandinInterface host(scene);
    host.SetSelection({&door});  // one node: every control enabled
    auto* utility = static_cast<UtilityPlugin*>(library->LibClassDesc(0)->Create(0));
    host.OpenUtility(utility);
    if (host.PanelPages().empty()) {
        std::fprintf(stderr, "no panel page\n");
        return 1;
    }
    HWND page = host.PanelPages()[0].window;
    HWND panel = host.CommandPanelWindow();
    SetWindowPos(panel, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    RedrawWindow(panel, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
    const bool written = WriteBmp(argv[2], page);
    host.CloseUtility();
    return written ? 0 : 1;
}
