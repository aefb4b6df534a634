#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_windows.h"
#include "win32/win_api.h"

// The resources of both tools (their built libraries on Windows), loaded
// once per test program.
inline HINSTANCE TarvelModule() {
    static HINSTANCE module = testwin::LoadToolModule(TARVEL_RES);
    return module;
}
inline HINSTANCE VelkoraModule() {
    static HINSTANCE module = testwin::LoadToolModule(VELKORA_RES);
    return module;
}

// A dialog procedure that keeps what it was sent and answers `answer`.
struct ReceivedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
inline std::vector<ReceivedMessage>& Received() {
    static std::vector<ReceivedMessage> received;
    return received;
}
inline INT_PTR CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Received().push_back({window, message, wParam, lParam});
    return message == WM_INITDIALOG || message == WM_COMMAND ? TRUE : FALSE;
}

// Starts every test with no refusals, an empty log and the live windows it
// found; a test must leave no refusal it did not expect and no window.
class Win32Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(TarvelModule(), nullptr);
        ASSERT_NE(VelkoraModule(), nullptr);
        testwin::ClearViolations();
#if !defined(_WIN32)
        win32standin::ClearMessageLog();
#endif
        Received().clear();
        windowsAtStart_ = testwin::LiveWindowCount();
    }
    void TearDown() override {
        EXPECT_EQ(testwin::LiveWindowCount(), windowsAtStart_) << "windows left behind";
        if (!expectViolations_) {
            EXPECT_TRUE(testwin::Violations().empty()) << testwin::Violations().front();
        }
    }
    // The refusals so far, which the test expected; clears them.
    std::vector<std::string> TakeViolations() {
        std::vector<std::string> seen = testwin::Violations();
        testwin::ClearViolations();
        return seen;
    }
    void ExpectViolations() { expectViolations_ = true; }

private:
    std::size_t windowsAtStart_ = 0;
    bool expectViolations_ = false;
};
