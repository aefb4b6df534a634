// A file's content handed out in pieces: random texts with random edits
// give, as pieces joined and as written through the safe writer (replaced,
// or in place), exactly the text that the edits describe.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "files/file_content.h"
#include "files/output_file.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string RandomText(std::mt19937& random, std::size_t size) {
    std::string text(size, ' ');
    for (char& c : text) {
        c = static_cast<char>(random() % 256);
    }
    return text;
}

// Edits planned left to right, so that the text they make is known.
struct Planned {
    driver::Span span;
    std::string text;
};

// The planned edits made in a random order in which edits at one place
// keep theirs.
driver::TextEdits MadeShuffled(const std::vector<Planned>& planned, std::mt19937& random) {
    std::vector<std::size_t> order(planned.size());
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), random);
    std::map<std::size_t, std::vector<std::size_t>> slotsOfPlace;
    for (std::size_t slot = 0; slot < order.size(); ++slot) {
        slotsOfPlace[planned[order[slot]].span.begin].push_back(slot);
    }
    for (const auto& [place, slots] : slotsOfPlace) {
        std::vector<std::size_t> edits;
        for (const std::size_t slot : slots) {
            edits.push_back(order[slot]);
        }
        std::sort(edits.begin(), edits.end());
        for (std::size_t i = 0; i < slots.size(); ++i) {
            order[slots[i]] = edits[i];
        }
    }
    driver::TextEdits edits;
    for (const std::size_t i : order) {
        edits.Replace(planned[i].span, planned[i].text);
    }
    return edits;
}

}  // namespace

TEST(FileContent, PiecesJoinedAndWrittenAreTheEditedText) {
    const fs::path folder = fs::temp_directory_path() / ("file_content_test." + std::to_string(std::random_device{}()));
    fs::create_directories(folder);
    std::mt19937 random(20261208);
    for (int round = 0; round < 120; ++round) {
        // Some texts and edit texts larger than what the writer gathers.
        const bool large = round % 12 == 0;
        const auto text = std::make_shared<const std::string>(RandomText(random, random() % (large ? 700000 : 3000)));
        const std::size_t gap = large ? 6000 : 2 + round % 40;
        std::vector<Planned> planned;
        std::string expected = "head";
        std::size_t at = 0;
        for (std::size_t begin = random() % gap; begin <= text->size(); begin = at + random() % gap) {
            const std::size_t end = std::min(text->size(), begin + (random() % 3 == 0 ? 0 : random() % 20));
            const std::size_t size = random() % 50 == 0 ? 300000 : random() % 12;
            planned.push_back({{begin, end}, RandomText(random, size)});
            expected += text->substr(at, begin - at) + planned.back().text;
            at = end;
        }
        const std::size_t from = random() % (text->size() + 1);
        const std::size_t size = random() % (text->size() - from + 1);
        expected += text->substr(at) + text->substr(from, size);

        driver::FileContent content("head");
        content.Add(text, MadeShuffled(planned, random));
        content.Add(text, from, size);
        ASSERT_EQ(content.Size(), expected.size());
        ASSERT_EQ(content.Joined(), expected) << "round " << round;

        // A second name for the file makes the writer write it in place,
        // which asks for the pieces a second time.
        const fs::path file = folder / ("out" + std::to_string(round));
        std::ofstream(file, std::ios::binary) << "old";
        std::error_code linked;
        if (round % 2 == 1) {
            fs::create_hard_link(file, folder / ("link" + std::to_string(round)), linked);
        }
        const std::vector<driver::InPlaceReason> inPlace = driver::WriteOutputFiles({{file.string(), content}});
        EXPECT_EQ(!inPlace.front(), round % 2 == 0 || linked) << "round " << round;
        ASSERT_EQ(ReadAll(file), expected) << "round " << round;
    }
    fs::remove_all(folder);
}
