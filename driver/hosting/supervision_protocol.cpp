#include "hosting/supervision_protocol.h"

#include <algorithm>
#include <cstring>

namespace driver {

namespace {

constexpr std::size_t kLengthBytes = sizeof(std::uint64_t);

}  // namespace

std::string Framed(const std::string& result) {
    const std::uint64_t size = result.size();
    std::string frame(reinterpret_cast<const char*>(&size), kLengthBytes);
    frame += result;
    return frame;
}

// Sized once its length has come, so that a large result is read straight
// into its place.
char* IncomingFrame::Room(std::size_t size) {
    if (!sized_ && kept_ >= kLengthBytes) {
        sized_ = true;
        std::uint64_t length = 0;
        std::memcpy(&length, bytes_.data(), kLengthBytes);
        bytes_.reserve(static_cast<std::size_t>(std::min(length, kMaxResultBytes)) + kLengthBytes + size);
    }
    bytes_.resize(kept_ + size);
    return &bytes_[kept_];
}

void IncomingFrame::Received(std::size_t size) {
    kept_ += size;
    bytes_.resize(kept_);
}

bool IncomingFrame::TooLarge() const { return kept_ > kMaxResultBytes + kLengthBytes; }

bool IncomingFrame::Whole() const {
    std::uint64_t length = 0;
    if (kept_ < kLengthBytes) {
        return false;
    }
    std::memcpy(&length, bytes_.data(), kLengthBytes);
    return length == kept_ - kLengthBytes;
}

std::string IncomingFrame::Take() {
    bytes_.resize(kept_);
    bytes_.erase(0, kLengthBytes);
    kept_ = 0;
    sized_ = false;
    return std::move(bytes_);
}

bool CallClock::Expired(const CallBoard& board) {
    const std::uint64_t changes = board.changes.load();
    if (changes != lastChanges_) {
        lastChanges_ = changes;
        lastChange_ = Clock::now();
        return false;
    }
    return board.depth.load() > 0 && Clock::now() - lastChange_ > limit_;
}

}  // namespace driver
