// One table from refusal codes to exit and HTTP statuses: each error that
// a run can end with answers with the status of its kind (1 the content
// refuses the job, 2 a wrong command line, 4 a file that cannot be read,
// parsed or written), the viewer with an HTTP status of its kind, and the
// documentation's table of statuses says the same.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <new>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>

#include "cli/invocation.h"
#include "files/input_file.h"
#include "files/output_file.h"
#include "files/run_files.h"
#include "hosting/tool_library.h"
#include "json/json_reader.h"
#include "scene/gltf/gltf_channel_keys.h"
#include "scene/gltf/gltf_skin_matrices.h"
#include "scene/scene_error.h"
#include "session/session.h"
#include "session/shortcut.h"
#include "text/refusal.h"

namespace {

using driver::RefusalCode;

TEST(RefusalTable, EveryErrorEndsWithItsStatuses) {
    struct Row {
        const char* what;
        std::function<void()> fail;
        int exitStatus;
        int httpStatus;
    };
    const Row rows[] = {
        {"usage", [] { throw driver::UsageError("m"); }, 2, 400},
        {"selection", [] { throw driver::SelectionConflict("m"); }, 1, 409},
        {"no match", [] { throw driver::NoMatchError("m"); }, 1, 400},
        {"session", [] { throw driver::SessionError("m"); }, 4, 400},
        {"scene", [] { throw driver::SceneFileError("m"); }, 4, 422},
        {"json", [] { throw driver::JsonSyntaxError({}, "m"); }, 4, 422},
        {"buffer", [] { throw driver::gltf::BufferReadError("m"); }, 4, 422},
        {"joint", [] { throw driver::gltf::JointMatrixError(0, "m"); }, 4, 422},
        {"channel", [] { throw driver::gltf::ChannelKeysError(0, "m"); }, 4, 422},
        {"input", [] { throw driver::InputFileError("m"); }, 4, 404},
        {"output", [] { throw driver::OutputFileError("m"); }, 4, 409},
        {"run files", [] { throw driver::RunFilesError("m"); }, 2, 409},
        {"library", [] { throw driver::ToolLibraryError("m"); }, 4, 500},
        {"memory", [] { throw std::bad_alloc(); }, 1, 503},
        {"other", [] { throw std::runtime_error("m"); }, 1, 500},
    };
    for (const Row& row : rows) {
        try {
            row.fail();
            ADD_FAILURE() << row.what;
        } catch (const std::exception& e) {
            const driver::Refusal refusal = driver::RefusalOf(e);
            EXPECT_EQ(driver::ExitStatusOf(refusal.code), row.exitStatus) << row.what;
            EXPECT_EQ(driver::HttpStatusOf(refusal.code), row.httpStatus) << row.what;
            EXPECT_EQ(refusal.message, refusal.code == RefusalCode::OutOfMemory ? "out of memory" : "m") << row.what;
        }
    }
}

// Every code: a name of its own in lower case and hyphens, an exit status
// that says "not done" (a reader gone, as SIGPIPE would end the run), an
// HTTP status that is an error.
TEST(RefusalTable, EveryCodeHasItsOwnNameAndErrorStatuses) {
    std::set<std::string> names;
    for (int k = 0; k <= static_cast<int>(RefusalCode::Failed); ++k) {
        const auto code = static_cast<RefusalCode>(k);
        const std::string name = driver::CodeName(code);
        EXPECT_TRUE(names.insert(name).second) << name;
        EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyz-"), std::string::npos) << name;
        const int status = driver::ExitStatusOf(code);
        EXPECT_TRUE(status == 1 || status == 2 || status == 4 ||
                    (code == RefusalCode::ReaderGone && status == 128 + 13))
            << name;
        EXPECT_GE(driver::HttpStatusOf(code), 400) << name;
        EXPECT_LT(driver::HttpStatusOf(code), 600) << name;
    }
}

#if defined(MORVANE_SOURCE_DIR)
// The table of exit statuses in the documentation gives each status the
// codes that end a run with it ("| 4 | ... | `bad-scene`, ... |"): every
// code is in the row of its status, and in no other.
TEST(RefusalTable, DocumentedStatusesAreTheTables) {
    std::ifstream docs(MORVANE_SOURCE_DIR "/docs/sessions.md");
    ASSERT_TRUE(docs) << "docs/sessions.md";
    const std::regex row(R"(^\| (\d+|128 \+ N) \|.*)");
    const std::regex quotedCode("`([a-z-]+)`");
    std::map<std::string, std::string> documented;  // code, the status of its row
    std::string line;
    while (std::getline(docs, line)) {
        std::smatch status;
        if (!std::regex_match(line, status, row)) {
            continue;
        }
        const std::string codes = line.substr(line.rfind("| ", line.size() - 2));
        for (std::sregex_iterator it(codes.begin(), codes.end(), quotedCode), end; it != end; ++it) {
            EXPECT_TRUE(documented.emplace((*it)[1], status[1]).second) << (*it)[1] << " in two rows";
        }
    }
    for (int k = 0; k <= static_cast<int>(RefusalCode::Failed); ++k) {
        const auto code = static_cast<RefusalCode>(k);
        const int status = driver::ExitStatusOf(code);
        const auto found = documented.find(driver::CodeName(code));
        ASSERT_NE(found, documented.end()) << driver::CodeName(code);
        EXPECT_EQ(found->second, status > 128 ? "128 + N" : std::to_string(status)) << driver::CodeName(code);
        documented.erase(found);
    }
    EXPECT_TRUE(documented.empty()) << documented.begin()->first << " is no code";
}
#endif

}  // namespace
