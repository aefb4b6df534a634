#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "files/file_identity.h"
#include "files/proxy_files.h"
#include "text/refusal.h"

namespace driver {

// The files a run reads and writes, so that none it writes is one it needs:
// a file that the driver writes is no other file of the run, and a file
// that a tool writes is none that is only read. (The tools' files may be
// one: names saved and loaded back.) Two paths are one file where they
// lead to one place (see FilePlace): one existing file, whatever its
// spelling, or one name in one folder.
class RunFiles {
public:
    enum class Use {
        OnlyRead,    // the scene, the session, the files the scene refers to
        ToolReads,   // a names file that a tool loads
        ToolWrites,  // a names file that a tool saves
        Written,     // the files of -o, --svg and "save"
    };

    // Adds the file at `path` ("-", standard output, is no file), with its
    // role as messages give it ("the scene file, which is only read").
    // Refuses it (FileClash) with the role of the file added before that it
    // must not be; else adds it.
    std::optional<Refusal> Add(const std::string& path, Use use, const std::string& role);

    // How many files of the run are Written.
    std::size_t WrittenCount() const { return written_; }

    // The role of the file of the run that standard output is (the same
    // file, however it was opened: `>> scene.json` too), if it is one.
    std::optional<std::string> StandardOutputRole() const;

    // The places that files of the run's own stand in for: the check and
    // the replay give a tool the file, the notes name the place.
    ProxyFiles& Proxies() { return proxies_; }
    const ProxyFiles& Proxies() const { return proxies_; }

private:
    struct File {
        std::string path;
        Use use;
        std::string role;
        std::optional<FileIdentity> identity;  // where it existed when it was added
    };
    std::vector<File> files_;
    // Each file is compared only with those of its place, so that a run of
    // many files is checked in linear time.
    std::unordered_multimap<std::string, std::size_t> byPlace_;
    std::size_t written_ = 0;
    ProxyFiles proxies_;
};

// A file of the command line that the run must not read or write as asked.
class RunFilesError : public CodedError {
public:
    explicit RunFilesError(const std::string& message) : CodedError(RefusalCode::FileClash, message) {}
};

// The files that a command line names; empty where it names none.
struct CommandLineFiles {
    std::string scene;
    std::string session;
    std::string names;         // the file that the names tool's dialog chooses
    bool namesLoaded = false;  // loaded by the tool, else saved
    std::string output;        // -o; "-" is standard output
    std::string svg;           // --svg; "-" is standard output
    // The files that -o writes beside its scene (a .gltf file's .bin).
    std::vector<std::string> outputBeside = {};
};

// The role of a file that a scene written by the run refers to, written
// with it (a .gltf file's .bin).
extern const char* const kWrittenBeside;

// The files of a run: those of the command line with `referenced`, the
// files that the scene refers to. Throws RunFilesError ("-o: "s.json" is
// the scene file, which is only read") when a file that the run writes is
// one that it needs, when standard output is one of them, or when -o and
// --svg both write to standard output.
RunFiles FilesOfRun(const CommandLineFiles& named, const std::vector<std::string>& referenced);

// True for "-" and for any name of the file that standard output is now
// ("/dev/stdout", "/proc/self/fd/1", the file it was redirected to).
bool IsStandardOutput(const std::string& path);

}  // namespace driver
