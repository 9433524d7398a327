// The cue list of the launch view and the show position: the time display and the next cue kept
// selected with about half a page of what follows in view.
#include <QHeaderView>
#include <algorithm>
#include <new>
#include <string>

#include "app/console_row.h"
#include "app/cue_table_model.h"
#include "app/main_form.h"
#include "show/project_list.h"

namespace fd::app {

void TMainForm::AttachCueList() {
  ListModel = new CueTableModel(*Project, List);
  List->setModel(ListModel);
  for (size_t i = 0; i < kListColumnWidths.size(); ++i) List->setColumnWidth(static_cast<int>(i), kListColumnWidths[i]);
}

void TMainForm::FillList() {
  try {
    ListModel->Reload();
  } catch (const std::bad_alloc&) {
    // The cues fitted but the list's rows did not: the scenario goes whole, as a load that ran out
    // of memory does, rather than a list that shows part of it.
    const int line = Project->Count() > 0 ? Project->Cues().back().Line : 1;
    Project->Clear();
    ListModel->Reload();
    const std::string text = show::OutOfMemoryText(std::max(line, 1));
    platform_.ShowFailure(text, "Ошибка", text);
  }
  // Rows are as high as the list's font needs; the row header is told once, not asked per row.
  if (ListModel->rowCount() > 0) {
    const int height = static_cast<QAbstractItemView*>(List)->sizeHintForRow(0);
    if (height > 0 && height != List->verticalHeader()->defaultSectionSize())
      List->verticalHeader()->setDefaultSectionSize(height);
  }
  Project->MarkUsedChannels(*Controls);
  if (IsTestView()) DrawChannels();
}

void TMainForm::PlayerProgress(int32_t ms) {
  TimeLabel->setText(ShowTimeText(ms));
  const int count = std::min(Project->Count(), ListModel->rowCount());
  const int next = Player->NextCue;
  if (count <= 0 || next < 0 || next >= count) return;
  const int rowHeight = std::max(1, List->rowHeight(0));
  const int ahead = next + List->viewport()->height() / rowHeight / 2;
  if (ahead < count) List->scrollTo(ListModel->index(ahead, 0));
  const QModelIndex index = ListModel->index(next, 0);
  List->setCurrentIndex(index);
  List->scrollTo(index);
}

}  // namespace fd::app
