// The show's timeline, probed pixel by pixel: a lane per console, each cue's mark where its time
// is and in the colour of its lateness, the stop on the axis.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "journal_texts.h"
#include "report/timeline_picture.h"
#include "support/temp_dir.h"

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

// Console 1: on time at 0 s, 30 ms late at 5 s; console 2: a cue skipped at 7 s; console 5 (not
// registered): 100 ms late at 2 s. The operator stopped at 8 s.
ShowReport Report() {
  const std::string text =
      HeaderLine("show") + CueLine("cue_sent", 1, 1, 1, 0, 0) + CueLine("cue_sent", 2, 5, 1, 2000, 2100) +
      CueLine("cue_sent", 3, 1, 2, 5000, 5030) +
      Event("cue_skipped", R"("line":4,"console":2,"channel":3,"planned_ms":7000,"reason":"not_connected")") +
      StopLine("operator", 8000) + CloseLine(8000, 3);
  std::string error;
  const auto journal = journal::ParseJournal(text, error);
  EXPECT_TRUE(journal) << error;
  return BuildShowReport(*journal, "/j/show.jsonl");
}

TEST(TimelinePicture, LanesMarksAndTheStop) {
  EnsureGuiApplication();
  const TimelineLayout layout = LayOutTimeline(Report());
  const QImage image = PaintTimeline(layout);
  ASSERT_EQ(image.size(), QSize(kA4Width, kA4Height));
  EXPECT_EQ(layout.title, "Show finale.txt, 2024-05-01 20:00:00 UTC");

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

  // The stop: a line from the top of the plot, at 8 s; console 1's on-time mark at 0 s.
  const std::vector<int> stops = RunCentres(image, layout.plot.y + 4, kStopColour);
  const auto middle = [&](size_t lane) { return layout.lanes[lane].area.y + layout.lanes[lane].area.h / 2; };
  const std::vector<int> onTime = RunCentres(image, middle(0), kOnTimeColour);
  ASSERT_EQ(stops.size(), 1u);
  ASSERT_EQ(onTime.size(), 1u);
  const auto xAt = [&](double seconds) { return onTime[0] + (stops[0] - onTime[0]) * seconds / 8.0; };
  // Console 1: late at 5 s; console 5: very late at 2 s; console 2: the skipped cue's cross at 7 s.
  const std::vector<int> late = RunCentres(image, middle(0), kLateColour);
  const std::vector<int> veryLate = RunCentres(image, middle(2), kVeryLateColour);
  ASSERT_EQ(late.size(), 1u);
  ASSERT_EQ(veryLate.size(), 1u);
  EXPECT_NEAR(late[0], xAt(5), 2.0);
  EXPECT_NEAR(veryLate[0], xAt(2), 2.0);
  EXPECT_EQ(At(image, onTime[0] + (stops[0] - onTime[0]) * 7 / 8, middle(1)), kSkippedColour);
}

TEST(TimelinePicture, AJournalThatIsNoShowDrawsNothing) {
  EnsureGuiApplication();
  support::testing::TempDir dir;
  const std::string journal = dir / "w.jsonl", png = dir / "w.png";
  support::testing::WriteBytes(journal, HeaderLine("write") + CloseLine(0, 0));
  std::string error;
  EXPECT_FALSE(DrawJournalPicture(journal, png, error));
  EXPECT_EQ(error, journal + ": not the journal of a show (\"write\")");
  EXPECT_FALSE(std::filesystem::exists(png));
  support::testing::WriteBytes(journal, DirectShow());
  EXPECT_TRUE(DrawJournalPicture(journal, PicturePathFor(journal), error)) << error;
  EXPECT_EQ(QImage(QString::fromStdString(png)).size(), QSize(kA4Width, kA4Height));
}

}  // namespace
}  // namespace fd::report
