// The unit tests' entry: every test starts from the program's start state.
// The program keeps its state in globals (tables, pools, counters, open
// files), and the tests run in one process, in any order and repeatedly
// (--gtest_shuffle, --gtest_repeat), so before each test the whole program
// is put back as it is when it has just started. A test that needs some
// other state sets it up itself, in its fixture or its body.
#include <gtest/gtest.h>

#include "paasmdriver.h"

namespace {

class ResetBeforeEachTest : public testing::EmptyTestEventListener {
    // Called before the test's fixture is made, so a fixture's set-up
    // builds on the start state.
    void OnTestStart(const testing::TestInfo&) override { asm_reset_run(); }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new ResetBeforeEachTest);
    return RUN_ALL_TESTS();
}
