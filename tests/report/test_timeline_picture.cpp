// The show's timeline, probed pixel by pixel: a lane per console, each cue's mark where its time
// is and in the colour of its lateness, the stop on the axis.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>

#include "journal_texts.h"
#include "report/timeline_picture.h"

namespace fd::report {
namespace {

using namespace fd::testing;

Rgb At(const QImage& image, int x, int y) {
  const QRgb p = image.pixel(x, y);
  return {static_cast<uint8_t>(qRed(p)), static_cast<uint8_t>(qGreen(p)), static_cast<uint8_t>(qBlue(p))};
}

// The middle of each run of `colour` along row y.
std::vector<int> RunCentres(const QImage& image, int y, Rgb colour) {
  std::vector<int> centres;
  for (int x = 0; x < image.width(); ++x) {
    if (!(At(image, x, y) == colour)) continue;
    int end = x;
    while (end + 1 < image.width() && At(image, end + 1, y) == colour) ++end;
    centres.push_back((x + end) / 2);
    x = end;
  }
  return centres;
}

class TimelinePicture : public ::testing::Test {
 protected:
  void SetUp() override { EnsureGuiApplication(); }

  ShowReport Report() {
    // Console 1: on time at 0 s, 30 ms late at 5 s; console 2: a cue skipped at 7 s; console 5
    // (not registered): 100 ms late at 2 s. The operator stopped at 8 s.
    const std::string text =
        HeaderLine("show") + CueLine("cue_sent", 1, 1, 1, 0, 0) + CueLine("cue_sent", 2, 5, 1, 2000, 2100) +
        CueLine("cue_sent", 3, 1, 2, 5000, 5030) +
        R"({"event":"cue_skipped","wall":"w","line":4,"console":2,"channel":3,"planned_ms":7000,"reason":"not_connected"})"
        "\n" +
        StopLine("operator", 8000) + CloseLine(8000, 3);
    std::string error;
    const auto journal = journal::ParseJournal(text, error);
    EXPECT_TRUE(journal) << error;
    return BuildShowReport(*journal, "/j/show.jsonl");
  }
};

TEST_F(TimelinePicture, LanesMarksAndTheStop) {
  const TimelineLayout layout = LayOutTimeline(Report());
  const QImage image = PaintTimeline(layout);
  ASSERT_EQ(image.size(), QSize(kA4Width, kA4Height));

  // A lane per firing console, the radio module (240) left out: alternating bands down the plot.
  ASSERT_EQ(layout.lanes.size(), 3u);
  int bands = 0;
  Rgb last{};
  for (int y = layout.plot.y + 3; y < layout.plot.Bottom() - 3; ++y) {
    const Rgb c = At(image, layout.plot.Right() - 3, y);
    if ((c == kLaneColours[0] || c == kLaneColours[1]) && !(c == last)) {
      ++bands;
      last = c;
    }
  }
  EXPECT_EQ(bands, 3);

  // The stop: a line from the top of the plot, at 8 s.
  const std::vector<int> stops = RunCentres(image, layout.plot.y + 4, kStopColour);
  ASSERT_EQ(stops.size(), 1u);
  // Console 1's lane: the on-time mark at 0 s and the late one at 5 s, 5/8 of the way to the stop.
  const int lane1 = layout.lanes[0].area.y + layout.lanes[0].area.h / 2;
  const std::vector<int> onTime = RunCentres(image, lane1, kOnTimeColour);
  const std::vector<int> late = RunCentres(image, lane1, kLateColour);
  ASSERT_EQ(onTime.size(), 1u);
  ASSERT_EQ(late.size(), 1u);
  EXPECT_NEAR(late[0] - onTime[0], (stops[0] - onTime[0]) * 5.0 / 8.0, 2.0);
  // Console 5's lane: very late at 2 s; console 2's: the skipped cue's cross at 7 s.
  const int lane5 = layout.lanes[2].area.y + layout.lanes[2].area.h / 2;
  const std::vector<int> veryLate = RunCentres(image, lane5, kVeryLateColour);
  ASSERT_EQ(veryLate.size(), 1u);
  EXPECT_NEAR(veryLate[0] - onTime[0], (stops[0] - onTime[0]) * 2.0 / 8.0, 2.0);
  const int lane2 = layout.lanes[1].area.y + layout.lanes[1].area.h / 2;
  const int skippedX = onTime[0] + (stops[0] - onTime[0]) * 7 / 8;
  EXPECT_EQ(At(image, skippedX, lane2), kSkippedColour);
  EXPECT_EQ(layout.title, "Show finale.txt, 2024-05-01 20:00:00 UTC");
}

TEST_F(TimelinePicture, AJournalThatIsNoShowDrawsNothing) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "firnadesk_picture_test";
  std::filesystem::create_directories(dir);
  const std::string journal = (dir / "w.jsonl").string(), png = (dir / "w.png").string();
  std::ofstream(journal) << HeaderLine("write") << CloseLine(0, 0);
  std::string error;
  EXPECT_FALSE(DrawJournalPicture(journal, png, error));
  EXPECT_EQ(error, journal + ": not the journal of a show (\"write\")");
  EXPECT_FALSE(std::filesystem::exists(png));
  std::ofstream(journal) << DirectShow();
  EXPECT_TRUE(DrawJournalPicture(journal, PicturePathFor(journal), error)) << error;
  EXPECT_EQ(QImage(QString::fromStdString(png)).size(), QSize(kA4Width, kA4Height));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace fd::report
