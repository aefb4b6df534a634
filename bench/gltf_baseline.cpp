#include "gltf_baseline.h"

#include <cstdio>
#include <string_view>
#include <vector>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace baseline {
namespace {

using rapidjson::Value;

// The file's bytes with a NUL after them, as parsing in place needs.
bool ReadAll(const std::string& path, std::vector<char>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    std::fseek(file, 0, SEEK_END);
    bytes.resize(static_cast<std::size_t>(std::ftell(file)) + 1);
    std::fseek(file, 0, SEEK_SET);
    const bool read = std::fread(bytes.data(), 1, bytes.size() - 1, file) == bytes.size() - 1;
    std::fclose(file);
    bytes.back() = '\0';
    return read;
}

bool WriteAll(const std::string& path, const char* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file != nullptr && std::fwrite(data, 1, size, file) == size;
    return file != nullptr && std::fclose(file) == 0 && written;
}

// Calls `visit` with the default scene, then with each of its nodes in
// pre-order; false for a document without them.
template <typename Visit>
bool Walk(rapidjson::Document& document, Visit visit) {
    if (!document.IsObject() || !document.HasMember("scenes") || !document.HasMember("nodes")) {
        return false;
    }
    const unsigned index = document.HasMember("scene") ? document["scene"].GetUint() : 0;
    Value& scene = document["scenes"][index];
    Value& nodes = document["nodes"];
    visit(scene);
    std::vector<unsigned> stack;
    const Value& roots = scene["nodes"];
    for (unsigned i = roots.Size(); i-- > 0;) {
        stack.push_back(roots[i].GetUint());
    }
    while (!stack.empty()) {
        Value& node = nodes[stack.back()];
        stack.pop_back();
        visit(node);
        if (node.HasMember("children")) {
            const Value& children = node["children"];
            for (unsigned i = children.Size(); i-- > 0;) {
                stack.push_back(children[i].GetUint());
            }
        }
    }
    return true;
}

}  // namespace

bool SaveNames(const std::string& scenePath, const std::string& namesPath) {
    std::vector<char> bytes;
    rapidjson::Document document;
    if (!ReadAll(scenePath, bytes) || document.ParseInsitu(bytes.data()).HasParseError()) {
        return false;
    }
    std::string names;
    bool root = true;
    const bool walked = Walk(document, [&](const Value& node) {
        if (node.HasMember("name")) {
            names.append(node["name"].GetString(), node["name"].GetStringLength());
        } else if (root) {
            names += "Scene Root";
        }
        names += '\n';
        root = false;
    });
    return walked && WriteAll(namesPath, names.data(), names.size());
}

bool LoadNames(const std::string& scenePath, const std::string& namesPath, const std::string& outputPath) {
    std::vector<char> bytes;
    std::vector<char> lines;
    rapidjson::Document document;
    if (!ReadAll(scenePath, bytes) || !ReadAll(namesPath, lines) ||
        document.ParseInsitu(bytes.data()).HasParseError()) {
        return false;
    }
    std::vector<std::string_view> names;
    for (std::size_t start = 0, end; start + 1 < lines.size(); start = end + 1) {
        end = std::string_view(lines.data(), lines.size() - 1).find('\n', start);
        end = end == std::string_view::npos ? lines.size() - 1 : end;
        const std::size_t cr = end > start && lines[end - 1] == '\r' ? 1 : 0;
        names.emplace_back(lines.data() + start, end - start - cr);
    }
    std::size_t next = 0;
    const bool walked = Walk(document, [&](Value& node) {
        if (next < names.size()) {
            Value name(rapidjson::StringRef(names[next].data(), names[next].size()));
            if (node.HasMember("name")) {
                node["name"] = name;
            } else {
                node.AddMember("name", name, document.GetAllocator());
            }
            ++next;
        }
    });
    rapidjson::StringBuffer text;
    rapidjson::Writer<rapidjson::StringBuffer> writer(text);
    return walked && document.Accept(writer) && WriteAll(outputPath, text.GetString(), text.GetSize());
}

}  // namespace baseline
