#include "series/read_ahead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "series/view_error.h"
#include "support/test_support.h"

namespace plivora {
namespace {

// A view whose row r holds (r + x + seed) & 255 at byte x; it notes the rows
// it is asked for and fails at the first at or past `failAt` (a decoder
// meets the fault on its way there).
class CountingReader final : public SourceReader {
 public:
  CountingReader(uint32_t width, uint32_t height, uint32_t seed, int64_t failAt, std::vector<uint32_t>& asked,
                 std::mutex& mutex)
      : seed_(seed), failAt_(failAt), asked_(asked), mutex_(mutex) {
    image_.Path = QStringLiteral("v%1.png").arg(seed);
    image_.Width = width;
    image_.Height = height;
  }
  void ReadRow(uint32_t row, uint8_t* dest) override {
    {
      std::lock_guard lock(mutex_);
      asked_.push_back(row);
    }
    if (failAt_ >= 0 && int64_t(row) >= failAt_) FailView(image_.Path, QStringLiteral("cannot decode row %1").arg(row));
    std::this_thread::sleep_for(std::chrono::microseconds(50));
    for (uint32_t x = 0; x < image_.Width * 4; ++x) dest[x] = uint8_t(row + x + seed_);
  }

 private:
  uint32_t seed_;
  int64_t failAt_;
  std::vector<uint32_t>& asked_;
  std::mutex& mutex_;
};

// Every view's rows `rows` are asked for in order, a row twice on the way,
// at several worker counts: each comes byte for byte as the view gives it,
// the views are asked only for those rows (so that a converting reader
// converts no other), and a view that fails raises its own message at its
// failing row, after the rows before it. The caller may stop at any row: the
// readers let go and every worker ends.
TEST(ReadAhead, HandsOverTheRowsAskedInOrderAndTheFailureAtItsRow) {
  struct Case {
    const char* name;
    std::vector<uint32_t> rows;
    int64_t failAt;     // in view 1; -1: none
    size_t stopAfter;   // rows asked of each view before the readers go
  };
  std::vector<uint32_t> every(200), sparse;
  for (uint32_t r = 0; r < 200; ++r) every[r] = r;
  for (uint32_t r = 3; r < 200; r += 10) sparse.push_back(r);
  const Case cases[] = {
      {"every row", every, -1, 200},
      {"every tenth row", sparse, -1, sparse.size()},
      {"stopped early", every, -1, 5},
      {"failing at row 57", every, 57, 200},
      {"failing at a skipped row", sparse, 58, sparse.size()},
  };
  for (const Case& c : cases)
    for (unsigned threads : {1u, 2u, 5u}) {
      std::mutex mutex;
      std::vector<std::vector<uint32_t>> asked(3);
      std::vector<AheadView> views;
      for (uint32_t v = 0; v < 3; ++v)
        views.push_back({std::make_unique<CountingReader>(7 + v, 200, v, v == 1 ? c.failAt : -1, asked[v], mutex), c.rows});
      auto readers = ReadAhead(views, threads);
      const std::string where = std::string(c.name) + ", " + std::to_string(threads) + " threads";
      QString error;
      size_t failed = 0;  // the index of the row that raised it
      std::vector<uint8_t> row, want;
      for (size_t i = 0; i < c.stopAfter && error.isEmpty(); ++i)
        for (uint32_t v = 0; v < 3 && error.isEmpty(); ++v) {
          row.assign(size_t(7 + v) * 4, 0);
          want.resize(row.size());
          for (size_t x = 0; x < want.size(); ++x) want[x] = uint8_t(c.rows[i] + x + v);
          try {
            readers[v]->ReadRow(c.rows[i], row.data());
            if (i % 7 == 1) readers[v]->ReadRow(c.rows[i], row.data());
          } catch (const Error& e) {
            error = e.message();
            failed = i;
            EXPECT_EQ(v, 1u) << where;
            break;
          }
          ASSERT_EQ(row, want) << where << ", view " << v << ", row " << c.rows[i];
        }
      readers.clear();  // joins every worker
      if (c.failAt < 0) {
        EXPECT_TRUE(error.isEmpty()) << where << ": " << error.toStdString();
      } else {
        size_t failing = 0;
        while (c.rows[failing] < c.failAt) ++failing;
        EXPECT_EQ(failed, failing) << where;
        EXPECT_EQ(error, QStringLiteral("Cannot read view \"v1.png\": cannot decode row %1").arg(c.rows[failing]))
            << where;
        EXPECT_EQ(asked[1].size(), failing + 1) << where;
      }
      for (uint32_t v = 0; v < 3; ++v) {
        EXPECT_LE(asked[v].size(), c.stopAfter + kAheadRows) << where << ", view " << v;
        for (size_t i = 0; i < asked[v].size(); ++i) EXPECT_EQ(asked[v][i], c.rows[i]) << where << ", view " << v;
      }
    }
}

// Asking for a row that is not among the rows given, or for one before the
// last, is the caller's fault and says so; nothing waits for it forever.
TEST(ReadAhead, ARowNotPromisedIsAFault) {
  for (const uint32_t row : {4u, 1u}) {
    std::mutex mutex;
    std::vector<uint32_t> asked;
    std::vector<AheadView> views;
    views.push_back({std::make_unique<CountingReader>(3, 10, 0, -1, asked, mutex), {0, 2, 6}});
    auto readers = ReadAhead(views, 2);
    std::vector<uint8_t> dest(12);
    readers[0]->ReadRow(2, dest.data());
    EXPECT_TRUE(test::ErrorOf([&] { readers[0]->ReadRow(row, dest.data()); }).contains("a fault in this program"))
        << row;
  }
}

}  // namespace
}  // namespace plivora
