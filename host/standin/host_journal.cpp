#include "standin/host_journal.h"

#include <sstream>

#include "standin/standin_scene.h"

namespace standin {

namespace {

void AppendPoint(std::ostringstream& out, const Point3& p) { out << '(' << p.x << ' ' << p.y << ' ' << p.z << ')'; }

}  // namespace

std::string HostCall::ToString() const {
    std::ostringstream out;
    out << operation << '(';
    const char* separator = "";
    auto next = [&]() -> std::ostringstream& {
        out << separator;
        separator = ", ";
        return out;
    };
    if (node != nullptr) {
        next() << '"' << node->Name() << '"';
    }
    if (time != kNoTime) {
        next() << "t=" << time;
    }
    if (index >= 0) {
        next() << index;
    }
    const bool transform = operation == "MoveNode" || operation == "RotateNode" || operation == "ScaleNode";
    if (transform) {
        std::ostringstream& o = next();
        o << "axis=[";
        for (int r = 0; r < 4; ++r) {
            AppendPoint(o, axis.row[r]);
        }
        o << "], value=(" << value[0] << ' ' << value[1] << ' ' << value[2];
        if (operation == "RotateNode") {
            o << ' ' << value[3];
        }
        o << "), local=" << localOrigin << ", children=" << affectChildren << ", pivotMode=" << pivotMode
          << ", locks=" << ignoreLocks;
    }
    if (!text.empty()) {
        next() << text;
    }
    out << ')';
    return out.str();
}

std::vector<std::string> HostJournal::Operations() const {
    std::vector<std::string> names;
    names.reserve(calls_.size());
    for (const HostCall& call : calls_) {
        names.push_back(call.operation);
    }
    return names;
}

std::vector<HostCall> HostJournal::CallsOf(const std::string& operation) const {
    std::vector<HostCall> found;
    for (const HostCall& call : calls_) {
        if (call.operation == operation) {
            found.push_back(call);
        }
    }
    return found;
}

}  // namespace standin
