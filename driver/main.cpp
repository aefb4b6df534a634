// morvane-host: runs the plug-ins on a scene file, through their panels.
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "plugin_directory.h"
#include "scene_file.h"
#include "scene_snapshot.h"
#include "scene_svg.h"
#include "session.h"
#include "session_runner.h"

namespace {

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

int Run(const driver::Invocation& invocation) {
    driver::SceneDocument document = driver::ReadSceneFile(invocation.scenePath);
    const std::vector<driver::Action> actions = invocation.sessionPath.empty()
                                                    ? invocation.shortcut
                                                    : driver::ReadSession(invocation.sessionPath);
    const std::string source = invocation.sessionPath.empty() ? "command" : invocation.sessionPath;
    const driver::SceneSnapshot initial = driver::TakeSnapshot(*document.scene);

    std::vector<std::size_t> selection;
    {
        driver::SessionRunner runner(document, std::cout, driver::PluginDirectory());
        runner.Run(actions, source);
        selection = runner.SelectionIndices();
    }
    const driver::SceneSnapshot final = driver::TakeSnapshot(*document.scene);

    if (invocation.diff) {
        std::cout << "changes:\n";
        const auto changes = driver::CompareSnapshots(initial, final);
        if (changes.empty()) {
            std::cout << "    none\n";
        }
        for (const driver::NodeChange& change : changes) {
            std::cout << "    node " << change.index << " \"" << change.name << "\"\n";
            for (const std::string& line : change.lines) {
                std::cout << "        " << line << "\n";
            }
        }
    }
    if (!invocation.outputPath.empty()) {
        const std::string text = driver::WriteSceneFile(*document.scene, selection, document.animationRange,
                                                        document.currentTime);
        if (!WriteFile(invocation.outputPath, text)) {
            std::cerr << "morvane-host: cannot write " << invocation.outputPath << "\n";
            return 1;
        }
        std::cout << "scene written to " << invocation.outputPath << "\n";
    }
    if (!invocation.svgPath.empty()) {
        if (!WriteFile(invocation.svgPath, driver::DrawSceneSvg(initial, final))) {
            std::cerr << "morvane-host: cannot write " << invocation.svgPath << "\n";
            return 1;
        }
        std::cout << "picture written to " << invocation.svgPath << "\n";
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const driver::Invocation invocation = driver::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
        if (invocation.help) {
            std::cout << driver::UsageText();
            return 0;
        }
        return Run(invocation);
    } catch (const driver::UsageError& e) {
        std::cerr << "morvane-host: " << e.what() << "\n(see morvane-host --help)\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "morvane-host: " << e.what() << "\n";
        return 1;
    }
}
