// Standard input is read whole, as bytes, however many blocks it takes.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "files/standard_input.h"
#include "scratch_folder.h"

TEST(StandardInput, AMebibyteAndMoreIsReadWholeByteForByte) {
    test_support::ScratchFolder folder;
    const std::string path = (folder.Path() / "input.bin").string();
    // Every block differs, and line ends, CR alone, ^Z and NUL are bytes
    // like any other, on every system.
    std::string bytes;
    for (std::size_t i = 0; bytes.size() < (std::size_t{1} << 20) + 4321; ++i) {
        bytes += "line " + std::to_string(i) + (i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\n" : std::string("\r\x1A\0", 3));
    }
    std::ofstream(path, std::ios::binary) << bytes;
    ASSERT_NE(std::freopen(path.c_str(), "rb", stdin), nullptr);
    const std::string read = driver::ReadStandardInput();
    EXPECT_EQ(read.size(), bytes.size());
    EXPECT_TRUE(read == bytes);
}
