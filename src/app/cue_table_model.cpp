#include "app/cue_table_model.h"

#include "show/project_list.h"

namespace fd::app {

CueTableModel::CueTableModel(const show::TProjectList& cues, QObject* parent)
    : QAbstractTableModel(parent), cues_(cues) {}

void CueTableModel::Reload() {
  beginResetModel();
  rows_ = cues_.Count();
  skipped_.clear();
  endResetModel();
}

int CueTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int CueTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant CueTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_ || index.row() >= cues_.Count()) return {};
  switch (role) {
    case Qt::DisplayRole:
      return CellText(cues_.Cues()[static_cast<size_t>(index.row())], index.column());
    case Qt::BackgroundRole:
      if (IsSkipped(index.row())) return SkippedBackground();
      return {};
    case Qt::ForegroundRole:
      if (IsSkipped(index.row())) return SkippedText();
      return {};
    case Qt::ToolTipRole:
      if (IsSkipped(index.row())) return QStringLiteral("Пропущена: ") + skipped_[static_cast<size_t>(index.row())];
      return {};
    default:
      return {};
  }
}

void CueTableModel::MarkSkipped(int row, const QString& why) {
  if (row < 0 || row >= rows_) return;
  if (skipped_.size() <= static_cast<size_t>(row)) skipped_.resize(static_cast<size_t>(row) + 1);
  skipped_[static_cast<size_t>(row)] = why.isEmpty() ? QStringLiteral("?") : why;
  emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void CueTableModel::ClearSkipped() {
  if (skipped_.empty()) return;
  skipped_.clear();
  if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, ColumnCount - 1));
}

bool CueTableModel::IsSkipped(int row) const {
  return row >= 0 && static_cast<size_t>(row) < skipped_.size() && !skipped_[static_cast<size_t>(row)].isEmpty();
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
