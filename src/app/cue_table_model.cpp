#include "app/cue_table_model.h"

#include "show/project_list.h"

namespace fd::app {

CueTableModel::CueTableModel(const show::TProjectList& cues, QObject* parent)
    : QAbstractTableModel(parent), cues_(cues) {}

void CueTableModel::Reload() {
  beginResetModel();
  rows_ = cues_.Count();
  endResetModel();
}

int CueTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int CueTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant CueTableModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_ || index.row() >= cues_.Count()) return {};
  return CellText(cues_.Cues()[static_cast<size_t>(index.row())], index.column());
}

Qt::ItemFlags CueTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QString CueTableModel::CellText(const devices::CueRecord& cue, int column) {
  switch (column) {
    case TimeColumn:
      return QString::fromStdString(cue.TimeText);
    case ConsoleColumn:
      return QString::number(cue.Console);
    case ChannelColumn:
      if (devices::IsMotionCue(cue.CueKind)) return {};
      return QString::number(static_cast<int64_t>(cue.Channel) + 1);
    case CommentColumn:
      return QString::fromStdString(cue.Comment);
    default:
      return {};
  }
}

}  // namespace fd::app
