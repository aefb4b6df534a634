// What crosses between the driver and the plug-ins' process: the request
// of a run and the framed result, each taken only whole.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cli/run_outcome.h"
#include "cli/run_request.h"
#include "hosting/call_board.h"
#include "hosting/supervision_protocol.h"

namespace {

const std::vector<driver::RunRequest> kRequests = {
    {{}, ""},
    {{"workshop.json", "demo.session", "-o", "out.json"}, "/tmp/morvane-1"},
    {{"", std::string("a\0b", 3), "\xc3\xa9t\xc3\xa9", std::string(70000, 'x')}, "C:\\Temp\\morvane-2"},
};

TEST(RunRequest, ComesBackAsItWasSent) {
    for (const driver::RunRequest& request : kRequests) {
        const std::optional<driver::RunRequest> back = driver::DecodeRunRequest(driver::EncodeRunRequest(request));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->arguments, request.arguments);
        EXPECT_EQ(back->scratchFolder, request.scratchFolder);
    }
}

TEST(RunRequest, ATextCutShortOrPastTheBoundIsNoRequest) {
    const std::string bytes = driver::EncodeRunRequest(kRequests[1]);
    for (const std::size_t cut : {std::size_t{0}, std::size_t{3}, std::size_t{10}, bytes.size() - 1}) {
        EXPECT_FALSE(driver::DecodeRunRequest(bytes.substr(0, cut))) << cut;
    }
    const driver::RunRequest large{{std::string(driver::kMaxRunRequestBytes, 'x')}, ""};
    EXPECT_FALSE(driver::DecodeRunRequest(driver::EncodeRunRequest(large)));
    const driver::RunOutcome refused =
        driver::Decode(std::make_shared<const std::string>(driver::ReplayRequest(bytes.substr(0, 10))));
    ASSERT_TRUE(refused.refusal);
    EXPECT_FALSE(refused.done);
}

// `frame` received in pieces of `piece` bytes.
driver::IncomingFrame Received(const std::string& frame, std::size_t piece) {
    driver::IncomingFrame incoming;
    for (std::size_t at = 0; at < frame.size(); at += piece) {
        const std::string part = frame.substr(at, piece);
        part.copy(incoming.Room(piece), part.size());
        incoming.Received(part.size());
    }
    return incoming;
}

TEST(IncomingFrame, IsAResultOnlyWhenAllOfOneFrameCame) {
    for (const std::string& result : {std::string(), std::string("outcome"), std::string(200000, '\x01')}) {
        const std::string frame = driver::Framed(result);
        for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{65536}}) {
            driver::IncomingFrame whole = Received(frame, piece);
            EXPECT_FALSE(whole.TooLarge());
            ASSERT_TRUE(whole.Whole()) << piece;
            EXPECT_EQ(whole.Take(), result);
        }
        for (const std::size_t cut : {std::size_t{0}, std::size_t{5}, frame.size() - 1}) {
            EXPECT_FALSE(Received(frame.substr(0, cut), 3).Whole()) << cut;
        }
        EXPECT_FALSE(Received(frame + "!", 4096).Whole());
    }
}

TEST(CallClock, GivesUpOnlyACallThatPostsNothingForLongerThanTheLimit) {
    driver::CallBoard board;
    driver::CallClock past(std::chrono::seconds(-1));  // any wait is longer
    EXPECT_FALSE(past.Expired(board)) << "no call entered";
    board.depth = 1;
    EXPECT_TRUE(past.Expired(board));
    board.changes = 5;
    EXPECT_FALSE(past.Expired(board)) << "the call posted";
    EXPECT_TRUE(past.Expired(board));
    driver::CallClock hour(std::chrono::seconds(3600));
    EXPECT_FALSE(hour.Expired(board));
    EXPECT_FALSE(hour.Expired(board));
}

}  // namespace
