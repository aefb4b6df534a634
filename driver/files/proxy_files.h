#pragma once

#include <string>
#include <vector>

namespace driver {

// A place that a tool cannot be given, such as standard output for saved
// names, and the file of the run's own that stands in for it: the actions
// name the place as the echo shows it ("-"), the tool's file dialog is
// given the file, which the run hands on once it is done, and every note
// names the place ("standard output"), never the file.
struct ProxyFile {
    std::string typed;  // the place as an action answers a dialog with it
    std::string file;   // the run's own file, as the dialog gives it to the tool
    std::string shown;  // the place as notes name it
};

// The proxies of a run; the paths of every other file are shown as they
// are (DisplayPath).
class ProxyFiles {
public:
    // The file's path is kept in its lexically normal form, the one that a
    // file dialog gives the tool.
    void Add(ProxyFile proxy);
    // The proxy whose place is typed as `path`, or whose file `path` is;
    // null for any other path.
    const ProxyFile* Of(const std::string& path) const;
    // The file that a dialog answered with `typed` gives the tool: the
    // proxy's file, else `typed` itself.
    std::string Given(const std::string& typed) const;
    // How a note names `path`: its proxy's place, else `quoted`, the
    // path as the note quotes any other.
    std::string Named(const std::string& path, const std::string& quoted) const;
    // `message`, of a tool or of a dialog, with each proxy's file that it
    // names whole in double quotes (as the tools quote paths) shown as its
    // place; a path that merely holds the file's path stays as it is.
    std::string InMessage(std::string message) const;

private:
    std::vector<ProxyFile> proxies_;
};

}  // namespace driver
