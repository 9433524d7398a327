// The cue list of the launch view and the show position: the time display and the next cue kept
// selected with about half a page of what follows in view.
#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>
#include <new>
#include <string>

#include "app/console_row.h"
#include "app/main_form.h"
#include "show/project_list.h"

namespace fd::app {

void TMainForm::FillList() {
  List->clear();
  int32_t line = 0;
  try {
    for (const devices::CueRecord& cue : Project->Cues()) {
      line = cue.Line;
      List->addTopLevelItem(new QTreeWidgetItem({QString::fromStdString(cue.TimeText), QString::number(cue.Console),
                                                 QString::number(static_cast<int64_t>(cue.Channel) + 1),
                                                 QString::fromStdString(cue.Comment)}));
    }
  } catch (const std::bad_alloc&) {
    // The list fitted but its rows did not: the scenario goes whole, as a load that ran out of
    // memory does, rather than a list that shows part of it.
    List->clear();
    Project->Clear();
    const std::string text = show::OutOfMemoryText(std::max(line, 1));
    platform_.ShowFailure(text, "Ошибка", text);
  }
  Project->MarkUsedChannels(*Controls);
  if (IsTestView()) DrawChannels();
}

void TMainForm::PlayerProgress(int32_t ms) {
  TimeLabel->setText(ShowTimeText(ms));
  const int count = std::min(Project->Count(), List->topLevelItemCount());
  const int next = Player->NextCue;
  if (count <= 0 || next < 0 || next >= count) return;
  const int rowHeight = std::max(1, List->sizeHintForRow(0));
  const int ahead = next + List->viewport()->height() / rowHeight / 2;
  if (ahead < count) List->scrollToItem(List->topLevelItem(ahead));
  QTreeWidgetItem* item = List->topLevelItem(next);
  List->setCurrentItem(item);
  List->scrollToItem(item);
}

}  // namespace fd::app
