#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "session/action.h"

namespace driver {

// The blanks of a session line: space, tab and the other ASCII white space
// (form feed, vertical tab, carriage return). They separate words and are
// trimmed from a line's ends, so that none of them ends up in a name.
bool IsBlank(char c);
std::string_view TrimBlanks(std::string_view text);

// One line of a session split into its verb and its argument (the rest of
// the line, blanks trimmed), as a verb's parser reads it. The refusals
// throw SessionError, starting with the line's origin.
class SessionLine {
public:
    SessionLine(std::string_view verb, std::string_view argument, Origin origin)
        : verb_(verb), argument_(argument), origin_(std::move(origin)) {}

    const std::string& Verb() const { return verb_; }
    // The argument, as it is; "" for none.
    const std::string& Argument() const { return argument_; }
    // The argument, refusing a line without one ("\"open\" needs an argument").
    const std::string& NeededArgument() const;
    // Refuses a line with an argument ("\"close\" takes no argument").
    void NoArgument() const;
    // The argument's words, separated by blanks; EachWord hands them out
    // one at a time, so that a line of millions of words is never held
    // as millions of strings.
    std::vector<std::string> Words() const;
    void EachWord(const std::function<void(std::string_view)>& take) const;
    // The argument's names, separated by blanks, each as it is or in double
    // quotes as the transcript shows names; a name given again is dropped.
    std::vector<std::string> Names() const;

    [[noreturn]] void Refuse(const std::string& what) const;

private:
    std::string verb_;
    std::string argument_;
    Origin origin_;
};

}  // namespace driver
