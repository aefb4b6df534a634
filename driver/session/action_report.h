#pragma once

#include <optional>
#include <string>

#include "session/action.h"
#include "session/transcript.h"
#include "text/refusal.h"

namespace driver {

// What the running action reports: its notes in the transcript, and the
// reasons why the run is not done, of which the first is kept.
class ActionReport {
public:
    // A strict run (a shortcut's) is not done either when an action has no
    // effect.
    ActionReport(Transcript& transcript, bool strict) : transcript_(transcript), strict_(strict) {}

    void Start(const Action& action) { origin_ = &action.origin; }

    void Note(const std::string& note) { transcript_.Note(note); }
    // A note that a quiet transcript keeps: something the user must see.
    void Warning(const std::string& note) { transcript_.Warning(note); }
    // The run was not done; `code` says why, by kind (a file that could
    // not be read or written has a kind of its own).
    void NotDone(const std::string& why, RefusalCode code = RefusalCode::NotDone) {
        if (!failure_) {
            failure_ = Refusal{code, origin_->Text() + ": " + why};
        }
    }
    // A note that is also why the run was not done.
    void Failed(const std::string& note, RefusalCode code = RefusalCode::NotDone) {
        transcript_.KeptNote(note);
        NotDone(note, code);
    }
    // The action had no effect: a reason in a strict run only.
    void NoEffect(const std::string& why) {
        if (strict_) {
            NotDone(why);
        }
    }

    // "ORIGIN: WHAT" for the first reason; none while the run goes well.
    const std::optional<Refusal>& Failure() const { return failure_; }

private:
    Transcript& transcript_;
    bool strict_;
    const Origin* origin_ = nullptr;
    std::optional<Refusal> failure_;
};

}  // namespace driver
