// Interning: equal texts by pointer, texts of every length, blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "paasmintern.h"

namespace {

TEST(Intern, EqualBytesGiveOnePointer) {
    intern_init();
    const char* a = intern_string("_main");
    char buffer[] = "_main";
    EXPECT_EQ(intern_string(buffer), a);
    EXPECT_EQ(intern_bytes("_mainx", 5), a);
    EXPECT_STREQ(a, "_main");
    EXPECT_NE(a, static_cast<const char*>(buffer));
}

TEST(Intern, TextsDifferingInLengthAreDifferent) {
    intern_init();
    const char* abc = intern_string("abc");
    const char* ab = intern_string("ab");
    EXPECT_NE(abc, ab);
    EXPECT_STREQ(ab, "ab");
    EXPECT_EQ(intern_string("abc"), abc);
}

TEST(Intern, EmptyText) {
    intern_init();
    const char* empty = intern_bytes("", 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], '\0');
    EXPECT_EQ(intern_string(""), empty);
}

TEST(Intern, ManyTextsInOneBucketChainStayDistinct) {
    intern_init();
    std::vector<const char*> first;
    for (int i = 0; i < 5000; ++i) first.push_back(intern_string(("name" + std::to_string(i)).c_str()));
    for (int i = 0; i < 5000; ++i) {
        std::string text = "name" + std::to_string(i);
        EXPECT_EQ(intern_string(text.c_str()), first[i]);
        EXPECT_STREQ(first[i], text.c_str());
    }
}

TEST(Intern, LongTextGetsItsOwnBlock) {
    intern_init();
    std::string big(5000, 'x');
    const char* before = intern_string("before");
    const char* copy = intern_string(big.c_str());
    const char* after = intern_string("after");
    EXPECT_EQ(std::strlen(copy), 5000u);
    EXPECT_EQ(std::string(copy), big);
    // The big text does not fit the current block, so a block of its length
    // plus 4096 bytes is taken and the short text after it shares that block,
    // behind the four bytes of its index.
    EXPECT_EQ(after, copy + 5001 + 4);
    EXPECT_NE(before + 7 + 4, copy);
    EXPECT_EQ(intern_index_of_text(copy), intern_index_of(big.data(), 5000));
    EXPECT_EQ(intern_index_of_text(after), intern_index_of("after", 5));
}

}  // namespace

namespace {

TEST(Intern, IndicesNameTextsForTheRun) {
    intern_init();
    uint32_t a = intern_index_of("_main", 5);
    uint32_t b = intern_index_of(".L5", 3);
    EXPECT_NE(a, b);
    EXPECT_EQ(intern_index_of("_main", 5), a);
    EXPECT_EQ(intern_text_at(a), intern_string("_main"));
    EXPECT_EQ(intern_text_at(b), intern_string(".L5"));
    // Each text keeps its own index in front of it.
    EXPECT_EQ(intern_index_of_text(intern_text_at(a)), a);
    EXPECT_EQ(intern_index_of_text(intern_string(".L5")), b);
    EXPECT_EQ(intern_text_at(b + 1000), nullptr);
}

}  // namespace
