// Strings, cursors and common controls of the Windows stand-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "win32/standin_extensions.h"
#include "win32/win_api.h"
#include "win32_test_support.h"

using namespace win32standin;

TEST_F(Win32Test, LoadStringCopiesTheWholeStringWhenItFits) {
    char buffer[256];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(LoadStringA(TarvelModule(), 2, buffer, sizeof buffer), 20);
    EXPECT_STREQ(buffer, "Programs for Morvane");
    EXPECT_EQ(LoadStringA(VelkoraModule(), 3, buffer, sizeof buffer), 7);
    EXPECT_STREQ(buffer, "Velkora");
}

TEST_F(Win32Test, LoadStringTruncatesToCapacityLessOneAndTerminates) {
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(LoadStringA(TarvelModule(), 2, buffer, 8), 7);
    EXPECT_STREQ(buffer, "Program");
    EXPECT_EQ(LoadStringA(TarvelModule(), 2, buffer, 1), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(LoadStringA(TarvelModule(), 4, buffer, 11), 10);
    EXPECT_STREQ(buffer, "Parameters");
    EXPECT_EQ(LoadStringA(TarvelModule(), 4, buffer, 10), 9);
    EXPECT_STREQ(buffer, "Parameter");
}

TEST_F(Win32Test, LoadStringAnswersZeroForAbsentStrings) {
    char buffer[16] = "untouched";
    EXPECT_EQ(LoadStringA(TarvelModule(), 0, buffer, sizeof buffer), 0);
    EXPECT_EQ(LoadStringA(TarvelModule(), 5, buffer, sizeof buffer), 0);
    EXPECT_EQ(LoadStringA(TarvelModule(), 4000, buffer, sizeof buffer), 0);
    EXPECT_EQ(LoadStringA(nullptr, 1, buffer, sizeof buffer), 0);
}

TEST_F(Win32Test, LoadStringRefusesMisuse) {
    ExpectViolations();
    char buffer[4];
    int notAModule = 0;
    EXPECT_EQ(LoadStringA(reinterpret_cast<HINSTANCE>(&notAModule), 1, buffer, sizeof buffer), 0);
    EXPECT_EQ(LoadStringA(TarvelModule(), 1, nullptr, 10), 0);
    EXPECT_EQ(LoadStringA(TarvelModule(), 1, buffer, 0), 0);
    EXPECT_EQ(TakeViolations().size(), 3u);
}

TEST_F(Win32Test, SystemCursorsAreDistinctAndStable) {
    HCURSOR cross = LoadCursorA(nullptr, IDC_CROSS);
    ASSERT_NE(cross, nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_CROSS), cross);
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    EXPECT_NE(arrow, nullptr);
    EXPECT_NE(arrow, cross);
    EXPECT_EQ(SystemCursorId(cross), 32515);
    EXPECT_EQ(SystemCursorId(arrow), 32512);
}

TEST_F(Win32Test, CursorsComeFromTheSystemOnly) {
    ExpectViolations();
    EXPECT_EQ(LoadCursorA(TarvelModule(), IDC_CROSS), nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(12345)), nullptr);
    EXPECT_EQ(TakeViolations().size(), 2u);
}

TEST_F(Win32Test, InitCommonControlsIsCounted) {
    const int before = InitCommonControlsCalls();
    InitCommonControls();
    InitCommonControls();
    EXPECT_EQ(InitCommonControlsCalls(), before + 2);
}

TEST_F(Win32Test, ModulesRefuseFilesThatAreNoResources) {
    ExpectViolations();
    const unsigned char junk[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(LoadModuleFromResBytes(junk, sizeof junk), nullptr);
    EXPECT_EQ(LoadModuleFromResFile("/nonexistent/file.res"), nullptr);
    EXPECT_EQ(TakeViolations().size(), 2u);
}

// A module's resources as a program reads its own: each template's data is
// the module's entry of it, whole; a name or type it lacks finds nothing.
TEST_F(Win32Test, ResourcesAreTheModulesOwnBytes) {
    for (HINSTANCE module : {TarvelModule(), VelkoraModule()}) {
        const ResourceEntry* entry =
            FindResource(*ModuleResources(module), ResourceId::Number(kResourceDialog), ResourceId::Number(101));
        ASSERT_NE(entry, nullptr);
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(101), RT_DIALOG);
        ASSERT_NE(found, nullptr);
        const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
        ASSERT_EQ(SizeofResource(module, found), entry->data.size());
        EXPECT_TRUE(std::equal(entry->data.begin(), entry->data.end(), data));
        EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(102), RT_DIALOG), nullptr);
        EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(101), RT_CURSOR), nullptr);
        EXPECT_EQ(FindResourceA(module, "PANEL", RT_DIALOG), nullptr);
    }
    ExpectViolations();
    int notAModule = 0;
    EXPECT_EQ(FindResourceA(reinterpret_cast<HINSTANCE>(&notAModule), MAKEINTRESOURCEA(101), RT_DIALOG), nullptr);
    EXPECT_EQ(TakeViolations().size(), 1u);
}
