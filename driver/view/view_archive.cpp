#include "view/view_archive.h"
#include "text/refusal.h"

#include <cstdio>
#include <stdexcept>

namespace driver {

namespace {

constexpr std::size_t kBlock = 512;

// `value` in octal, zero-padded, in the field of `width` bytes at `at`
// (the last byte a NUL).
void PutOctal(std::string& header, std::size_t at, std::size_t width, unsigned long long value) {
    char text[24];
    std::snprintf(text, sizeof(text), "%0*llo", static_cast<int>(width - 1), value);
    header.replace(at, width - 1, text, width - 1);
}

std::string Header(const std::string& name, std::size_t size) {
    if (name.size() > 100) {
        throw CodedError(RefusalCode::Failed, "a name in the archive is too long: " + name);
    }
    std::string header(kBlock, '\0');
    header.replace(0, name.size(), name);
    PutOctal(header, 100, 8, 0644);  // mode
    PutOctal(header, 108, 8, 0);     // owner
    PutOctal(header, 116, 8, 0);     // group
    PutOctal(header, 124, 12, size);
    PutOctal(header, 136, 12, 0);  // modification time
    header[156] = '0';             // a regular file
    header.replace(257, 8,
                   std::string("ustar\0"
                               "00",
                               8));
    // The checksum counts its own field as blanks.
    header.replace(148, 8, 8, ' ');
    unsigned long long sum = 0;
    for (const char byte : header) {
        sum += static_cast<unsigned char>(byte);
    }
    PutOctal(header, 148, 7, sum);
    header[154] = '\0';
    return header;
}

}  // namespace

std::string TarArchive(const std::string& folder, const std::vector<std::pair<std::string, std::string>>& files) {
    std::string archive;
    for (const auto& [name, bytes] : files) {
        archive += Header(folder + "/" + name, bytes.size());
        archive += bytes;
        archive.append((kBlock - bytes.size() % kBlock) % kBlock, '\0');
    }
    return archive + std::string(2 * kBlock, '\0');
}

}  // namespace driver
