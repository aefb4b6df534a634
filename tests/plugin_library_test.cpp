// The built plug-in libraries, loaded through their exports as the host
// loads them, and opened through their class descriptors and panels.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "custom_button.h"
#include "hosting/plugin_directory.h"
#include "scratch_folder.h"
#include "standin/library_image.h"
#include "standin/plugin_loader.h"
#include "standin/standin_custom_button.h"
#include "standin/standin_interface.h"
#include "utility_plugin.h"
#include "win32/win_api.h"

namespace {

struct Deliverable {
    const char* file;
    const char* name;
    Class_ID classId;
};

const Deliverable kTarvel{"Tarvel.dlu", "Tarvel", Class_ID(0x1c37ceb3, 0x79aab560)};
const Deliverable kVelkora{"Velkora.dlu", "Velkora", Class_ID(0x69b78967, 0x3c95b640)};

std::unique_ptr<standin::PluginLibrary> Load(const Deliverable& deliverable) {
    std::string error;
    auto library = standin::PluginLibrary::Load(driver::PluginDirectory() + "/" + deliverable.file, error);
    EXPECT_NE(library, nullptr) << error;
    return library;
}

class PluginLibraryTest : public ::testing::TestWithParam<Deliverable> {
protected:
    void SetUp() override {
        library = Load(GetParam());
        ASSERT_NE(library, nullptr);
        descriptor = library->LibClassDesc(0);
        ASSERT_NE(descriptor, nullptr);
    }
    void TearDown() override {
        host.CloseUtility();
        library.reset();
    }

    UtilityPlugin* Utility() { return static_cast<UtilityPlugin*>(descriptor->Create(0)); }

    standin::StandinScene scene;
    standin::StandinInterface host{scene};
    std::unique_ptr<standin::PluginLibrary> library;
    ClassDesc* descriptor = nullptr;
};

}  // namespace

TEST_P(PluginLibraryTest, ExportsDescribeOneUtilityClassOfThisDeliverable) {
    const Deliverable& d = GetParam();
    EXPECT_EQ(library->LibVersion(), 0x1B580D00ul);
    EXPECT_EQ(library->LibNumberClasses(), 1);
    EXPECT_STREQ(library->LibDescription(), d.name);
    EXPECT_EQ(library->LibClassDesc(0), descriptor) << "the same descriptor on every call";
    EXPECT_EQ(library->LibClassDesc(1), nullptr);
    EXPECT_EQ(library->LibClassDesc(-1), nullptr);

    auto* described = dynamic_cast<ClassDesc2*>(descriptor);
    ASSERT_NE(described, nullptr);
    EXPECT_EQ(descriptor->IsPublic(), 1);
    EXPECT_EQ(descriptor->SuperClassID(), 0x1020u);
    EXPECT_EQ(descriptor->ClassID(), d.classId);
    EXPECT_STREQ(descriptor->ClassName(), d.name);
    EXPECT_STREQ(descriptor->Category(), "Programs for Morvane");
    EXPECT_STREQ(described->InternalName(), d.name);
    EXPECT_EQ(described->HInstance(), library->Module());
}

TEST_P(PluginLibraryTest, EveryInstanceIsTheOneStaticUtilityObject) {
    UtilityPlugin* first = Utility();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(descriptor->Create(1), first) << "the loading flag makes no difference";
    EXPECT_EQ(descriptor->Create(0), first);
}

TEST_P(PluginLibraryTest, ResourceStringsShareOneBufferThatTheNextLookupOverwrites) {
    const char* className = descriptor->ClassName();
    const char* category = descriptor->Category();
    EXPECT_EQ(className, category);
    EXPECT_STREQ(className, "Programs for Morvane");
}

TEST_P(PluginLibraryTest, ControlsAreInitialisedOnceWhateverTheEntryIsCalledFor) {
    library.reset();
    const int customBefore = standin::InitCustomControlsCalls();
    library = Load(GetParam());
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(standin::InitCustomControlsCalls(), customBefore + 1);
    library->NotifyThreadAttach();
    library->NotifyThreadAttach();
    EXPECT_EQ(standin::InitCustomControlsCalls(), customBefore + 1);
    EXPECT_EQ(static_cast<ClassDesc2*>(library->LibClassDesc(0))->HInstance(), library->Module())
        << "every entry call records the module handle";
}

TEST_P(PluginLibraryTest, OpeningClosingAndOpeningAgainLeavesOnePageWithFreshButtons) {
    UtilityPlugin* utility = Utility();
    host.OpenUtility(utility);
    ASSERT_EQ(host.PanelPages().size(), 1u);
    const standin::PanelPage page = host.PanelPages().front();
    EXPECT_EQ(page.module, library->Module());
    EXPECT_EQ(page.templateId, 101);
    EXPECT_EQ(page.title, "Parameters");
    EXPECT_EQ(page.flags, 0u);
    EXPECT_EQ(page.category, 4000);
    EXPECT_EQ(page.param, reinterpret_cast<LPARAM>(utility));
    EXPECT_EQ(standin::OpenCustButtonCount(), 2);

    host.CloseUtility();
    EXPECT_TRUE(host.PanelPages().empty());
    EXPECT_EQ(standin::OpenCustButtonCount(), 0) << "both buttons are released at closing";
    EXPECT_FALSE(IsWindow(page.window));

    host.OpenUtility(utility);
    ASSERT_EQ(host.PanelPages().size(), 1u);
    EXPECT_NE(host.PanelPages().front().window, nullptr);
    EXPECT_EQ(standin::OpenCustButtonCount(), 2);
    EXPECT_TRUE(scene.Violations().empty());
}

// A host that opens the panel twice or closes it while closed is refused
// and told, and the panel stays as it was.
TEST_P(PluginLibraryTest, AHostThatMisusesThePanelIsRefusedAndTold) {
    UtilityPlugin* utility = Utility();
    const auto errors = [&] {
        std::size_t count = 0;
        for (const standin::LogRecord& record : host.LogRecords()) {
            count += record.type == SYSLOG_ERROR ? 1 : 0;
        }
        return count;
    };
    utility->EndEditParams(&host, host.HostUtilityHandle());
    EXPECT_EQ(errors(), 1u) << "closed while closed";
    host.OpenUtility(utility);
    utility->BeginEditParams(&host, host.HostUtilityHandle());
    EXPECT_EQ(errors(), 2u) << "opened while open";
    EXPECT_EQ(host.PanelPages().size(), 1u);
    EXPECT_EQ(standin::OpenCustButtonCount(), 2);
    host.CloseUtility();
    EXPECT_TRUE(host.PanelPages().empty());
    EXPECT_EQ(standin::OpenCustButtonCount(), 0);
}

TEST_P(PluginLibraryTest, TheFrameProcedureIgnoresAWindowUntilItIsBound) {
    host.OpenUtility(Utility());
    ASSERT_EQ(host.PanelPages().size(), 1u);
    const DLGPROC frame = host.PanelPages().front().proc;
    ASSERT_NE(frame, nullptr);
    host.CloseUtility();

    HWND window =
        CreateWindowExA(0, "Static", "", 0, 0, 0, 10, 10, host.CommandPanelWindow(), nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(frame(window, WM_COMMAND, 1099, 0), 0) << "a message before WM_INITDIALOG";
    EXPECT_EQ(frame(window, WM_INITDIALOG, 0, 0), 0) << "WM_INITDIALOG without a page parameter";
    EXPECT_EQ(GetWindowLongA(window, GWL_USERDATA), 0);
    EXPECT_EQ(frame(window, WM_DESTROY, 0, 0), 0) << "the window stays unbound";
    const std::size_t journalled = scene.Journal().Calls().size();
    EXPECT_EQ(frame(window, WM_MOUSEMOVE, 0, 0), 0);
    EXPECT_EQ(scene.Journal().Calls().size(), journalled) << "nothing reached a utility object";
    DestroyWindow(window);
}

INSTANTIATE_TEST_SUITE_P(Deliverables, PluginLibraryTest, ::testing::Values(kTarvel, kVelkora),
                         [](const ::testing::TestParamInfo<Deliverable>& param) {
    return std::string(param.param.name);
});

TEST(PluginLoader, AFileThatIsNoPlugInIsRefusedWithWhatIsMissing) {
    std::string error;
    EXPECT_EQ(standin::PluginLibrary::Load(driver::PluginDirectory() + "/no-such.dlu", error), nullptr);
    EXPECT_NE(error.find("cannot be opened"), std::string::npos) << error;

    error.clear();
#if defined(_WIN32)
    const std::string other = "morvane_standin.dll";
#else
    const std::string other = "libmorvane_win32.so";
#endif
    EXPECT_EQ(standin::PluginLibrary::Load(driver::PluginDirectory() + "/" + other, error), nullptr);
    EXPECT_FALSE(error.empty());
}

// A library file held open to be checked and loaded is the one file its
// held name reaches, whatever is done to its path meanwhile: on POSIX
// systems another file may take the path; on Windows none can.
TEST(PluginLoader, AHeldLibraryFileIsTheOneCheckedAndLoaded) {
    test_support::ScratchFolder folder("held");
    const std::string path = folder.File("tool.dlu");
    std::ofstream(path) << "checked";
    std::ofstream(folder.File("other.dlu")) << "swapped";
    const standin::OpenLibraryFile held(path);
    ASSERT_TRUE(held.Opened());
    std::error_code error;
    std::filesystem::rename(folder.File("other.dlu"), path, error);
#if defined(_WIN32)
    EXPECT_TRUE(error) << "the held file's path was taken";
    EXPECT_FALSE(std::ofstream(path, std::ios::app)) << "the held file could be written";
#else
    EXPECT_FALSE(error) << error.message();
#endif
    std::stringstream text;
    text << std::ifstream(held.Name()).rdbuf();
    EXPECT_EQ(text.str(), "checked");
}
