// The journal of a channel test from the window: the consoles as the test began, then each tested
// console's channels as the test left them.
#include "app/main_form.h"
#include "devices/channel_test_rule.h"
#include "show/channel_test_record.h"
#include "show/journal_header.h"

namespace fd::app {

void TMainForm::JournalChannelTest(const std::vector<int>& consoleIndexes) {
  journal::JournalHeader header = show::ShowJournalHeader(ScenarioPath, {}, Player->LaunchMode, 0, *Controls, {});
  header.kind = "channel_test";
  header.launchMode.clear();
  journal::ShowJournal journal;
  if (!OpenWorkJournal(journal, header, "test")) return;
  for (const int index : consoleIndexes) {
    if (index < 0 || index >= Controls->Count()) continue;
    const auto* console = dynamic_cast<const devices::TCommonControl*>(Controls->Items(index));
    if (console == nullptr) continue;
    // A test stopped part-way leaves the channels it did not reach unknown.
    bool completed = true;
    for (int c = 0; c < console->TableChannels(); ++c)
      if (console->StateOf(c) == devices::kChannelUnknown) completed = false;
    journal.Append(show::ChannelTestEvent(*console, completed));
  }
  journal.Close(0);
}

}  // namespace fd::app
