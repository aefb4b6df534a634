// A GLB file read from disk keeps its binary chunk in the file: written, it
// is copied from the file that was read, in pieces, byte for byte; a file
// that changed since it was read is refused and the old output kept.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "files/output_file.h"
#include "gltf_skin_scene.h"
#include "gltf_test_file.h"
#include "gltf_test_scene.h"
#include "scene/scene_format.h"
#include "source_file.h"
#include "text/name_text.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

struct Folder {
    Folder() : path(fs::temp_directory_path() / ("glb_source_test." + std::to_string(std::random_device{}()))) {
        fs::create_directories(path);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path path;
};

// What happens to the file read between the read and the write.
enum class Meanwhile { Nothing, Shrinks, IsTouched, IsRewritten, IsReplaced };

}  // namespace

TEST(GlbSource, TheChunksAfterTheJsonAreCopiedFromTheFileInPiecesOrRefusedWhenItChanged) {
    const struct {
        const char* what;
        std::size_t piece;
        bool rename;
        Meanwhile meanwhile;
        bool ontoItself;  // the output is the file read
        bool holeAtEnd;   // the binary chunk is the last, and ends in a hole
    } cases[] = {
        {"unchanged, in one piece", 1 << 20, false, Meanwhile::Nothing, false, false},
        {"renamed, in pieces of 7 bytes", 7, true, Meanwhile::Nothing, false, false},
        {"renamed, in pieces of 4096 bytes, onto the file read", 4096, true, Meanwhile::Nothing, true, false},
        {"replaced by another file meanwhile", 1000, true, Meanwhile::IsReplaced, false, false},
        {"shrunk meanwhile", 1000, true, Meanwhile::Shrinks, false, false},
        {"touched meanwhile", 1000, false, Meanwhile::IsTouched, false, false},
        {"a byte rewritten meanwhile, the modification time put back", 1000, true, Meanwhile::IsRewritten, false,
         false},
        {"renamed, a binary chunk that ends in a hole", 1 << 20, true, Meanwhile::Nothing, false, true},
    };
    std::mt19937 random(31);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Folder folder;
        std::string binary(20000 + random() % 1000, '\0');
        for (char& byte : binary) {
            byte = static_cast<char>(random());
        }
        binary.resize((binary.size() + 3) / 4 * 4);
        constexpr std::size_t kHole = std::size_t{1} << 20;
        const std::string glb =
            gltftest::GlbFile(gltftest::Gltf(R"("scenes": [{"nodes": [0]}], "nodes": [{"name": "Box", "mesh": 0}])"),
                              c.holeAtEnd ? gltftest::Chunk("BIN", binary + std::string(kHole, '\0'))
                                          : gltftest::Chunk("BIN", binary) + gltftest::Chunk("XTRA", "more"));
        const fs::path in = folder.path / "in.glb";
        const fs::path out = c.ontoItself ? in : folder.path / "out.glb";
        WriteAll(in, glb.substr(0, c.holeAtEnd ? glb.size() - kHole : glb.size()));
        fs::resize_file(in, glb.size());  // a hole where the file system allows
        if (!c.ontoItself) {
            WriteAll(out, "old output");
        }
        // What the same file read from memory writes.
        auto held = gltftest::Read(glb, "in.glb");
        safewrite::SetCopyPieceSize(c.piece);
        auto file = driver::ReadScene(in.string());
        if (c.rename) {
            gltftest::Nodes(*held)[1]->SetName("Crate");
            gltftest::Nodes(*file)[1]->SetName("Crate");
        }
        const std::string expected = held->Content(out.string(), {}).Joined();
        const driver::FileContent content = file->Content(out.string(), {});
        switch (c.meanwhile) {
            case Meanwhile::Nothing:
                break;
            case Meanwhile::Shrinks:
                fs::resize_file(in, glb.size() - 100);
                break;
            case Meanwhile::IsTouched:
                fs::last_write_time(in, fs::last_write_time(in) + std::chrono::seconds(2));
                break;
            case Meanwhile::IsRewritten: {
                const auto modified = fs::last_write_time(in);
                std::fstream bytes(in, std::ios::binary | std::ios::in | std::ios::out);
                bytes.seekp(static_cast<std::streamoff>(glb.size() - 30));
                bytes.put(static_cast<char>(glb[glb.size() - 30] ^ 1));
                bytes.close();
                fs::last_write_time(in, modified);
                break;
            }
            case Meanwhile::IsReplaced: {
                WriteAll(folder.path / "other.glb", "another file");
                std::error_code error;
                fs::rename(folder.path / "other.glb", in, error);
                if (error) {
                    continue;  // Windows replaces no file that is open
                }
                break;
            }
        }
#if defined(_WIN32)
        if (c.ontoItself) {  // no file open for reading can be replaced there
            EXPECT_THROW(driver::WriteOutputFiles({{out.string(), content}}), driver::OutputFileError);
            EXPECT_EQ(ReadAll(in), glb);
            continue;
        }
#endif
        if (c.meanwhile != Meanwhile::Nothing) {
            try {
                driver::WriteOutputFiles({{out.string(), content}});
                ADD_FAILURE() << "written";
            } catch (const driver::OutputFileError& e) {
                const std::string why =
                    c.meanwhile == Meanwhile::Shrinks ? "(it was " + std::to_string(glb.size()) + " bytes, now " +
                                                            std::to_string(glb.size() - 100) + ")"
                    : c.meanwhile == Meanwhile::IsTouched ? "(its modification time changed)"
                                                          : "(it was written to, or its names or attributes changed)";
                // A file system whose times are coarser than the system's may
                // not take the modification time back whole: either tells.
                const std::string said = e.what();
                const std::string start = out.string() + ": cannot be written: " + driver::QuotedExcerpt(in.string()) +
                                          ", which it copies from, changed while the run worked ";
                EXPECT_TRUE(said == start + why || (c.meanwhile == Meanwhile::IsRewritten &&
                                                    said == start + "(its modification time changed)"))
                    << said;
            }
            EXPECT_EQ(ReadAll(out), "old output");
            continue;
        }
        EXPECT_EQ(content.Joined(), expected);
        driver::WriteOutputFiles({{out.string(), content}});
        EXPECT_EQ(ReadAll(out), expected);
    }
    safewrite::SetCopyPieceSize(1 << 20);
}

// A GLB file past 2 GiB, with a chunk after its binary chunk there: read
// through 64-bit offsets (the 32-bit Windows build's too), and a JSON
// chunk larger than what is read is refused unread.
TEST(GlbSource, OffsetsPastTwoGibibytesAreReadAndCopied) {
    const Folder folder;
    constexpr std::uint64_t kBinary = std::uint64_t{3} << 30;
    std::error_code error;
    if (fs::space(folder.path, error).available < kBinary + (std::uint64_t{1} << 30)) {
        GTEST_SKIP() << "needs 4 GiB free in " << folder.path.string() << " for a file past 2 GiB";
    }
    const std::string json = gltftest::Gltf(R"("scenes": [{"nodes": [0]}], "nodes": [{"name": "Far"}])") + "  ";
    const std::string head = gltftest::GlbFile(json, "");
    std::string bytes = head + gltftest::Chunk("BIN", "");
    const std::string extra = gltftest::Chunk("XTRA", "far away");
    const std::uint64_t size = bytes.size() + kBinary + extra.size();
    for (int i = 0; i < 4; ++i) {  // the binary chunk's length, and the file's
        bytes[static_cast<std::size_t>(head.size()) + static_cast<std::size_t>(i)] =
            static_cast<char>((kBinary >> (8 * i)) & 0xFF);
        bytes[8 + static_cast<std::size_t>(i)] = static_cast<char>((size >> (8 * i)) & 0xFF);
    }
    const fs::path in = folder.path / "far.glb";
    {
        std::ofstream file(in, std::ios::binary);
        file << bytes;
        file.seekp(static_cast<std::streamoff>(bytes.size() + kBinary));  // a hole where the file system allows
        file << extra;
    }
    ASSERT_EQ(fs::file_size(in), size);
    const auto scene = driver::ReadScene(in.string());
    EXPECT_EQ(gltftest::Nodes(*scene)[1]->Name(), "Far");
    EXPECT_EQ(scene->Content("copy.glb", {}).Size(), size);

    safewrite::SourceFile source;
    ASSERT_EQ(source.Open(in.string()), safewrite::Error::None);
    std::string far(extra.size(), '\0');
    std::size_t got = 0;
    ASSERT_EQ(source.ReadAt(size - extra.size(), far.data(), far.size(), got), safewrite::Error::None);
    EXPECT_EQ(far.substr(0, got), extra);
    safewrite::File copy;
    ASSERT_EQ(safewrite::CreateTemporary((folder.path / "copy").string(), false, copy), safewrite::Error::None);
    EXPECT_EQ(source.CopyTo(copy, size - extra.size() - 5, extra.size() + 5), safewrite::Error::None);
    copy.Close();
    EXPECT_EQ(ReadAll(folder.path / "copy"), std::string(5, '\0') + extra);

    // A JSON chunk of more than 1 GiB, the rest of the file a hole.
    const fs::path large = folder.path / "large.glb";
    const std::uint64_t jsonSize = (std::uint64_t{1} << 30) + 4;
    std::string header = gltftest::GlbFile("", "");
    for (int i = 0; i < 4; ++i) {
        header[8 + static_cast<std::size_t>(i)] = static_cast<char>(((jsonSize + 20) >> (8 * i)) & 0xFF);
        header[12 + static_cast<std::size_t>(i)] = static_cast<char>((jsonSize >> (8 * i)) & 0xFF);
    }
    WriteAll(large, header);
    fs::resize_file(large, jsonSize + 20);
    try {
        driver::ReadScene(large.string());
        ADD_FAILURE() << "read";
    } catch (const std::exception& e) {
        EXPECT_EQ(e.what(), large.string() +
                                ": cannot be read: its JSON chunk is larger than 1024 MiB, the most that "
                                "morvane-host reads");
    }
}

// A skin's inverse bind matrices are read, when a joint's pivot moved,
// through the buffer file held open since the scene was read: a buffer
// file or GLB file that changes meanwhile, even in place with its
// modification time put back, refuses the file written, whose matrices
// would mix the new bytes with what the rest was made from.
TEST(GlbSource, MatricesComeFromTheFilesReadAndAChangeMeanwhileIsRefused) {
    const struct {
        const char* what;
        gltftest::SkinShape shape;
        bool replaced;  // another file renamed over it, else a byte rewritten in place
    } cases[] = {
        {"a buffer file beside the scene, rewritten", {true, false, false, true}, false},
        {"a buffer file beside the scene, replaced", {true, false, false, true}, true},
        {"a GLB file's binary chunk, rewritten", {true, true, false, false}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Folder folder;
        std::mt19937 random(5);
        std::string buffer;
        const std::string scene = gltftest::SkinnedScene(random, c.shape, buffer);
        const fs::path in = folder.path / (c.shape.glb ? "in.glb" : "in.gltf");
        const fs::path changed = c.shape.glb ? in : folder.path / "skin.bin";
        WriteAll(in, scene);
        if (!c.shape.glb) {
            WriteAll(changed, buffer);
        }
        auto file = driver::ReadScene(in.string());
        standin::StandinNode& joint = *gltftest::Nodes(*file)[gltftest::kFirstJoint];
        NodeMatrix offset = joint.ObjectOffset();
        offset.row[3].x += 0.5f;
        joint.SetObjectOffset(offset);
        const std::string out = (folder.path / (c.shape.glb ? "out.glb" : "out.gltf")).string();
        EXPECT_NO_THROW(file->Content(out, {}).Joined()) << "as read";

        const std::string bytes = ReadAll(changed);
        std::string other = bytes;
        other[other.size() - 8] = static_cast<char>(other[other.size() - 8] ^ 0x40);  // in the last matrix
        const auto modified = fs::last_write_time(changed);
        if (c.replaced) {
            WriteAll(folder.path / "new.bin", other);
            std::error_code error;
            fs::rename(folder.path / "new.bin", changed, error);
            if (error) {
                continue;  // Windows replaces no file that is open
            }
        } else {
            std::fstream rewrite(changed, std::ios::binary | std::ios::in | std::ios::out);
            rewrite.seekp(static_cast<std::streamoff>(other.size() - 8));
            rewrite.put(other[other.size() - 8]);
        }
        fs::last_write_time(changed, modified);
        EXPECT_THROW(driver::WriteOutputFiles({{out, file->Content(out, {})}}), driver::OutputFileError);
        EXPECT_FALSE(fs::exists(out));
    }
}
