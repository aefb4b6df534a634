// The viewer's guard and file lookup, without a server or a browser.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "scratch_folder.h"
#include "view/view_archive.h"
#include "view/view_files.h"
#include "view/view_folders.h"
#include "view/view_guard.h"

namespace {

// No cookie admits: a browser would send it to every server of the
// machine. The page's own files are read without the token, nothing else.
TEST(ViewGuard, LetsInOnlyTheTokenOnItsOwnHostAndOrigin) {
    const std::string token(32, 'a');
    const std::string bearer = "Bearer " + token;
    const driver::ViewGuard guard(token, 8080);
    struct Case {
        std::string method;
        bool pageFile;
        std::string authorization, host, origin;
        bool admitted;
    };
    const std::vector<Case> cases = {
        {"GET", true, "", "127.0.0.1:8080", "", true},
        {"HEAD", true, "", "[::1]:8080", "", true},
        {"POST", true, "", "127.0.0.1:8080", "", false},
        {"GET", false, "", "127.0.0.1:8080", "", false},
        {"GET", true, "", "evil.example:8080", "", false},
        {"GET", true, "", "127.0.0.1:8080", "http://evil.example", false},
        {"GET", false, bearer, "localhost:8080", "", true},
        {"GET", false, "Bearer " + token.substr(1), "[::1]:8080", "", false},
        {"GET", false, "Bearer " + token + "a", "127.0.0.1:8080", "", false},
        {"GET", false, "bearer " + token, "127.0.0.1:8080", "", false},
        {"GET", false, token, "127.0.0.1:8080", "", false},
        {"GET", false, bearer, "127.0.0.1:80801", "", false},
        {"GET", false, bearer, "127.0.0.1:808", "", false},
        {"GET", false, bearer, "evil.example:8080", "", false},
        {"GET", false, bearer, "", "", false},
        {"POST", false, bearer, "127.0.0.1:8080", "http://127.0.0.1:8080", true},
        {"POST", false, bearer, "127.0.0.1:8080", "http://localhost:8080", true},
        {"POST", false, bearer, "127.0.0.1:8080", "http://127.0.0.1:80801", false},
        {"POST", false, bearer, "127.0.0.1:8080", "http://127.0.0.1:8080.evil", false},
        {"POST", false, bearer, "127.0.0.1:8080", "https://127.0.0.1:8080", false},
        {"POST", false, bearer, "127.0.0.1:8080", "null", false},
        {"POST", false, "", "127.0.0.1:8080", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(guard.Admits({c.method, c.pageFile, c.authorization, c.host, c.origin}), c.admitted)
            << c.method << " page " << c.pageFile << " [" << c.authorization << "] host " << c.host << " origin "
            << c.origin;
    }
    EXPECT_FALSE(driver::ViewGuard("", 8080).Admits({"GET", false, "Bearer ", "127.0.0.1:8080", ""}));
}

TEST(ViewGuard, TokensDiffer) {
    const std::string first = driver::NewToken();
    EXPECT_EQ(first.size(), 32u);
    EXPECT_NE(first, driver::NewToken());
}

// Only regular files inside the serving folders, never a dotfile, whatever
// the route names.
TEST(ViewFiles, ServesOnlyRegularFilesInsideTheFolders) {
    namespace fs = std::filesystem;
    const test_support::ScratchFolder scratch{"morvane-view-files-test"};
    const fs::path root = scratch.Path();
    fs::create_directories(root / "scene" / ".git");
    fs::create_directories(root / "page");
    std::ofstream(root / "page" / "index.html") << "page";
    for (const char* name :
         {"scene/room.gltf", "scene/room.bin", "scene/.git/config", "secret.bin", "scene/other.bin"}) {
        std::ofstream(root / name) << name;
    }
    fs::create_symlink(root / "secret.bin", root / "scene" / "linked.bin");
    mkfifo((root / "scene" / "pipe.bin").c_str(), 0600);
    const auto in = [&](const char* name) { return (root / name).string(); };
    const driver::ViewFiles files(in("page"), in("scene/room.gltf"),
                                  {in("scene/room.bin"), in("scene/.git/config"), in("secret.bin"),
                                   in("scene/linked.bin"), in("scene/pipe.bin"), in("scene/gone.bin")},
                                  driver::ViewFolders({in("scene")}));
    const std::string scene = "/" + files.SceneRoute().substr(0, files.SceneRoute().rfind('/') + 1);
    const std::string up = scene.substr(0, scene.size() - 2);  // the scene's folder's parent
    EXPECT_EQ(files.Find("/index.html"), std::optional(in("page/index.html")));
    EXPECT_TRUE(files.IsPageFile("/index.html"));
    EXPECT_TRUE(files.IsPageFile("/"));
    for (const std::string& route : {scene + "room.bin", std::string("/%69ndex.html"), std::string("/index.html/")}) {
        EXPECT_FALSE(files.IsPageFile(route)) << route;
    }
    EXPECT_EQ(files.Find(scene + "room.bin"), std::optional(fs::canonical(root / "scene/room.bin").string()));
    for (const std::string& route :
         {scene + "room.bin%00.png", scene + std::string("room.bin\0.png", 13), scene + "other.bin",
          scene + ".git/config", up + "secret.bin", scene + "linked.bin", scene + "pipe.bin", scene + "gone.bin",
          scene + "../secret.bin", std::string("/../secret.bin")}) {
        EXPECT_EQ(files.Find(route), std::nullopt) << route;
    }
    EXPECT_EQ(files.Refused().size(), 5u) << "each file refused is said";
}

}  // namespace

namespace {

// The members of a tar archive, read as tar reads them: a header, the
// bytes in whole blocks, until a block of zeros.
std::vector<std::pair<std::string, std::string>> Members(const std::string& archive) {
    std::vector<std::pair<std::string, std::string>> members;
    for (std::size_t at = 0; at + 512 <= archive.size() && archive[at] != '\0';) {
        const std::string name = archive.substr(at, archive.find('\0', at) - at);
        const std::size_t size = std::stoul(archive.substr(at + 124, 11), nullptr, 8);
        members.emplace_back(name, archive.substr(at + 512, size));
        at += 512 + (size + 511) / 512 * 512;
    }
    return members;
}

}  // namespace

// Whatever a member's size, the next member follows its last block, and
// two blocks of zeros end the archive.
TEST(ViewArchive, EveryMemberIsFoundWhateverItsSize) {
    for (const std::size_t size : {0u, 1u, 511u, 512u, 513u, 1024u, 5000u}) {
        const std::vector<std::pair<std::string, std::string>> files = {{"viewer.session", std::string(size, 's')},
                                                                        {"names-3.txt", "A\nB\n"}};
        const std::string archive = driver::TarArchive("viewer-session", files);
        EXPECT_EQ(Members(archive),
                  (std::vector<std::pair<std::string, std::string>>{{"viewer-session/viewer.session", files[0].second},
                                                                    {"viewer-session/names-3.txt", files[1].second}}))
            << size;
        EXPECT_EQ(archive.size() % 512, 0u);
        EXPECT_EQ(archive.substr(archive.size() - 1024), std::string(1024, '\0')) << size;
    }
}
