#include "view/view_command.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <thread>

#include "files/native_path.h"
#include "files/output_file.h"
#include "hosting/plugin_directory.h"
#include "text/refusal.h"
#include "view/view_files.h"
#include "view/view_guard.h"
#include "view/view_platform.h"
#include "view/view_server.h"

namespace fs = std::filesystem;

namespace driver {

namespace {

// A folder that only the user can enter, for the page that opens the
// viewer and the names files kept as they were read; gone at the end.
class PrivateFolder {
public:
    PrivateFolder() : path_(MakePrivateFolder()) {}
    ~PrivateFolder() {
        std::error_code error;
        fs::remove_all(NativePath(path_), error);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// A page that sends the browser to the viewer: the token goes from a file
// that only the user can read, never through a command line, and after
// the '#' of the address, which no request carries; the viewer's page
// takes it out of the address bar, and the opening page's history entry
// is replaced, so that no address the browser keeps holds it.
// None, and the file removed, where the system does not keep it to the user
// alone: the token is then only in the address printed.
std::optional<std::string> WriteOpeningPage(const PrivateFolder& folder, const std::string& origin,
                                            const std::string& token) {
    std::string path = folder.Path() + "/open.html";
    const std::string address = origin + "/#token=" + token;
    WriteOutputFiles(
        {{path, FileContent("<!doctype html>\n<a href=\"" + address +
                            "\">Open the viewer</a>\n<script>location.replace(\"" + address + "\")</script>\n")}});
    try {
        KeepToUser(path);
    } catch (const OutputFileError& e) {
        std::error_code ignored;
        fs::remove(NativePath(path), ignored);
        std::cerr << "morvane-host: view: no opening page: " << e.what() << "\n";
        return std::nullopt;
    }
    return path;
}

std::string FolderOf(const std::string& path) {
    const fs::path parent = NativePath(path).parent_path();
    return parent.empty() ? "." : NativeText(parent);
}

// Prints the viewer's address, writes the page that opens it and opens the
// browser there where asked.
void Announce(const ViewServer& server, const PrivateFolder& folder, bool openBrowser) {
    const std::optional<std::string> opening = WriteOpeningPage(folder, server.Origin(), server.Token());
    std::cout << server.Address() << "\n";
    if (opening) {
        std::cout << "(or open " << *opening << ", a page that only you can read)\n";
    }
    std::cout.flush();
    if (openBrowser && opening) {
        OpenBrowser(*opening);
    }
}

int Serve(const ViewOptions& options) {
    const std::string plugins = PluginDirectory();
    const std::string page = ViewerPageDirectory(plugins);
    std::error_code missing;
    if (!fs::is_regular_file(NativePath(page + "/index.html"), missing)) {
        std::cerr << "morvane-host: view: the viewer's page is not in " << page
                  << " (a build makes it with the target viewer_page)\n";
        return 1;
    }
    // One reach for the scene's files, the dialogs and Save.
    std::vector<std::string> reach = options.allowedFolders;
    reach.push_back(FolderOf(options.scenePath));
    reach.push_back(".");
    if (!options.outputPath.empty()) {
        reach.push_back(FolderOf(options.outputPath));
    }
    const PrivateFolder folder;
    ViewSession session(options.scenePath, plugins, options.outputPath, ViewFolders(reach), folder.Path());
    ViewServer server(session, page);
    if (const std::optional<Refusal> refusal = server.Bind(options.port)) {
        std::cerr << "morvane-host: view: " << refusal->message << "\n";
        return ExitStatusOf(refusal->code);
    }
    std::thread waiter = StopOnSignal(server);
    try {
        Announce(server, folder, options.openBrowser);
    } catch (...) {
        EndSignalThread(waiter);  // a joinable thread must not be dropped
        throw;
    }
    server.Serve();
    EndSignalThread(waiter);
    return 0;
}

}  // namespace

int RunView(const ViewOptions& options) {
    try {
        return Serve(options);
    } catch (const std::exception& e) {
        // The viewer's boundary, as the run's in main.
        const Refusal refusal = RefusalOf(e);
        std::cerr << "morvane-host: " << refusal.message << "\n";
        return ExitStatusOf(refusal.code);
    }
}

}  // namespace driver
