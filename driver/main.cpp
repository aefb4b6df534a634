// morvane-host: runs the plug-ins on a scene file, through their panels.
#include <iostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "display_path.h"
#include "output_file.h"
#include "plugin_directory.h"
#include "scene_format.h"
#include "scene_snapshot.h"
#include "scene_svg.h"
#include "session.h"
#include "session_runner.h"

namespace {

void PrintChanges(const driver::SceneSnapshot& initial, const driver::SceneSnapshot& final) {
    std::cout << "changes:\n";
    const auto changes = driver::CompareSnapshots(initial, final);
    if (changes.empty()) {
        std::cout << "    none\n";
    }
    for (const driver::NodeChange& change : changes) {
        std::cout << "    node " << change.index << " " << driver::QuoteName(change.name) << "\n";
        for (const std::string& line : change.lines) {
            std::cout << "        " << line << "\n";
        }
    }
}

// Everything that can be checked is checked before the session runs; the
// files of -o, --svg and "save" are written only after it has succeeded.
int Run(const driver::Invocation& invocation) {
    const std::unique_ptr<driver::SceneFile> sceneFile = driver::ReadScene(invocation.scenePath);
    driver::SceneDocument& document = sceneFile->Document();
    const std::vector<driver::Action> actions = invocation.sessionPath.empty()
                                                    ? invocation.shortcut
                                                    : driver::ReadSession(invocation.sessionPath);
    const std::string source = invocation.sessionPath.empty() ? invocation.command : invocation.sessionPath;
    if (!invocation.outputPath.empty()) {
        driver::CheckWritable(invocation.outputPath, "-o");
    }
    if (!invocation.svgPath.empty()) {
        driver::CheckWritable(invocation.svgPath, "--svg");
    }
    const driver::SceneSnapshot initial = driver::TakeSnapshot(*document.scene);

    std::vector<std::size_t> selection;
    std::vector<driver::OutputFile> files;
    {
        driver::SessionRunner runner(*sceneFile, std::cout, driver::PluginDirectory());
        runner.Run(actions, source);
        selection = runner.SelectionIndices();
        files = runner.PendingFiles();
    }
    const driver::SceneSnapshot final = driver::TakeSnapshot(*document.scene);
    if (invocation.diff) {
        PrintChanges(initial, final);
    }
    if (!invocation.outputPath.empty()) {
        files.push_back({invocation.outputPath, sceneFile->Write(invocation.outputPath, selection)});
    }
    if (!invocation.svgPath.empty()) {
        files.push_back({invocation.svgPath, driver::DrawSceneSvg(initial, final)});
    }
    driver::WriteOutputFiles(files);
    for (const driver::OutputFile& file : files) {
        std::cout << "written: " << driver::DisplayPath(file.path) << "\n";
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
        std::cerr << "morvane-host: " << e.what() << "\nTry 'morvane-host --help' for more information.\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "morvane-host: " << e.what() << "\n";
        return 1;
    } catch (...) {
        std::cerr << "morvane-host: unexpected failure\n";
        return 1;
    }
}
