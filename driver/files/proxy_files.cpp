#include "files/proxy_files.h"

#include <utility>

#include "files/native_path.h"

namespace driver {

void ProxyFiles::Add(ProxyFile proxy) {
    proxy.file = NativeText(NativePath(proxy.file).lexically_normal());
    proxies_.push_back(std::move(proxy));
}

const ProxyFile* ProxyFiles::Of(const std::string& path) const {
    for (const ProxyFile& proxy : proxies_) {
        if (path == proxy.typed || path == proxy.file) {
            return &proxy;
        }
    }
    return nullptr;
}

std::string ProxyFiles::Given(const std::string& typed) const {
    const ProxyFile* proxy = Of(typed);
    return proxy != nullptr ? proxy->file : typed;
}

std::string ProxyFiles::Named(const std::string& path, const std::string& quoted) const {
    const ProxyFile* proxy = Of(path);
    return proxy != nullptr ? proxy->shown : quoted;
}

std::string ProxyFiles::InMessage(std::string message) const {
    for (const ProxyFile& proxy : proxies_) {
        const std::string quoted = '"' + proxy.file + '"';
        for (std::size_t at = message.find(quoted); at != std::string::npos;
             at = message.find(quoted, at + proxy.shown.size())) {
            message.replace(at, quoted.size(), proxy.shown);
        }
    }
    return message;
}

}  // namespace driver
