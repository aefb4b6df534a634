#include "hosting/call_board.h"

#include <cstring>

#include "text/name_text.h"

namespace driver {

void PutField(char* field, std::size_t size, const std::string& text) {
    const std::size_t length = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

void BoardWatcher::Post(const std::string& library, const std::string& call) {
    PutField(board_.library, sizeof board_.library, library);
    PutField(board_.call, sizeof board_.call, call);
}

void BoardWatcher::Entering(const std::string& library, const std::string& call) {
    calls_.emplace_back(library, call);
    Post(library, call);
    if (call.rfind("loading", 0) == 0 && std::strstr(board_.loaded, library.c_str()) == nullptr) {
        const std::string loaded = board_.loaded;
        PutField(board_.loaded, sizeof board_.loaded, loaded.empty() ? library : loaded + ", " + library);
    }
    board_.depth.fetch_add(1);
    board_.changes.fetch_add(1);
}

void BoardWatcher::Returned() {
    if (!calls_.empty()) {
        calls_.pop_back();
    }
    // Once every call returned, the last one stays posted: a crash then
    // comes after it.
    if (!calls_.empty()) {
        Post(calls_.back().first, calls_.back().second);
    }
    board_.depth.fetch_sub(1);
    board_.changes.fetch_add(1);
}

std::string FaultLine(const CallBoard& board, Fault fault, const std::string& detail) {
    const std::string library(board.library, strnlen(board.library, sizeof board.library));
    const std::string call(board.call, strnlen(board.call, sizeof board.call));
    const std::string damaged = ": the library is damaged or not made for this system; nothing was written";
    if (library.empty() && call.empty()) {
        return "the plug-ins' process " + std::string(fault == Fault::Hung ? "hung" : "ended") + " (" + detail +
               ") before any call into a plug-in; nothing was written";
    }
    if (fault == Fault::Hung) {
        return Excerpt(library) + ": " + call + " did not return within " + detail +
               " (MORVANE_CALL_LIMIT), and the library's process was ended; nothing was written";
    }
    const std::string how = fault == Fault::Crashed ? "crashed" : "ended its process";
    if (board.depth.load() == 0) {
        return Excerpt(library) + ": the plug-ins' process " + how + " (" + detail + ") after " + call + " returned" +
               damaged;
    }
    return Excerpt(library) + ": the library " + how + " in " + call + " (" + detail + ")" + damaged;
}

}  // namespace driver
