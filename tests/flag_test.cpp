// Process flags: the 30 numeric slots and the 13 plot-item switches with their
// two sums.
#include <gtest/gtest.h>
#include <kav/flag.h>

namespace {

// Every test starts from and leaves the state the library starts in.
class Flag : public ::testing::Test {
 protected:
  void SetUp() override { restore(); }
  void TearDown() override { restore(); }
  static void restore() {
    FLAG_resetl(KAV_IMISSING);
    FLAG_resetplot(1);
  }
};

TEST_F(Flag, SlotsHoldWhatIsSetInsideTheRange) {
  FLAG_reset(-9999);
  EXPECT_EQ(FLAG_get(0), -9999);
  EXPECT_EQ(FLAG_set(29, 4), 0);
  EXPECT_EQ(FLAG_get(29), 4);
  EXPECT_EQ(FLAG_set(0, 7), 0);
  EXPECT_EQ(FLAG_get(0), 7);
  EXPECT_EQ(FLAG_get(1), -9999);  // a neighbour is untouched
}

TEST_F(Flag, OutOfRangeSlotsAreRefusedAndReadAsZero) {
  FLAG_reset(5);
  EXPECT_EQ(FLAG_set(30, 1), -1);
  EXPECT_EQ(FLAG_set(-1, 1), -1);
  EXPECT_EQ(FLAG_setl(FLAG_COUNT, 1L), -1);
  EXPECT_EQ(FLAG_get(30), 0);
  EXPECT_EQ(FLAG_get(-1), 0);
  EXPECT_EQ(FLAG_getl(-1), 0);
  EXPECT_EQ(FLAG_getl(1 << 20), 0);
  for (int i = 0; i < FLAG_COUNT; ++i) EXPECT_EQ(FLAG_get(i), 5) << i;
}

TEST_F(Flag, LongSlotsKeepWideValues) {
  EXPECT_EQ(FLAG_setl(3, 1L << 40), 0);
  EXPECT_EQ(FLAG_getl(3), 1L << 40);
  FLAG_resetl(-(1L << 35));
  EXPECT_EQ(FLAG_getl(FLAG_COUNT - 1), -(1L << 35));
  EXPECT_EQ(FLAG_reset(2), 0);
  EXPECT_EQ(FLAG_getl(3), 2);
}

TEST_F(Flag, BatchAndHelpAreTheirSlotsAboveZero) {
  EXPECT_EQ(FLAG_batch(), 0);  // missing is not batch
  EXPECT_EQ(FLAG_help(), 0);
  EXPECT_EQ(FLAG_set_batch(0), 0);
  EXPECT_EQ(FLAG_batch(), 0);
  FLAG_set_batch(2);
  EXPECT_EQ(FLAG_batch(), 1);
  EXPECT_EQ(FLAG_get(FLAG_BATCH), 2);
  FLAG_set(FLAG_HELP, 1);
  EXPECT_EQ(FLAG_help(), 1);
  FLAG_set(FLAG_HELP, -1);
  EXPECT_EQ(FLAG_help(), 0);
}

TEST_F(Flag, PlotSwitchesStartOnWithTheirSums) {
  for (int i = 1; i <= 11; ++i) EXPECT_EQ(FLAG_getplot(i), 1) << i;
  // resetplot sets the sums too; the next setplot recomputes them.
  EXPECT_EQ(FLAG_getplot(0), 1);
  FLAG_setplot(1, 1);
  EXPECT_EQ(FLAG_getplot(0), 6);    // switches 1 to 6
  EXPECT_EQ(FLAG_getplot(12), 17);  // switches 0 to 11
}

TEST_F(Flag, PlotSwitchSums) {
  FLAG_setplot(0, 0);
  for (int i = 0; i <= 6; ++i) EXPECT_EQ(FLAG_getplot(i), 0) << i;
  EXPECT_EQ(FLAG_getplot(12), 5);  // switches 7 to 11
  FLAG_setplot(3, 1);
  EXPECT_EQ(FLAG_getplot(0), 1);
  EXPECT_EQ(FLAG_getplot(12), 7);
  FLAG_setplot(12, 1);
  EXPECT_EQ(FLAG_getplot(0), 6);
  EXPECT_EQ(FLAG_getplot(12), 17);
}

TEST_F(Flag, PlotTypesOutsideTheRangeAreRefused) {
  EXPECT_EQ(FLAG_setplot(13, 1), -1);
  EXPECT_EQ(FLAG_setplot(-1, 1), -1);
  EXPECT_EQ(FLAG_getplot(13), 0);
  EXPECT_EQ(FLAG_getplot(-1), 0);
  EXPECT_EQ(FLAG_getplot(5), 1);
}

}  // namespace
