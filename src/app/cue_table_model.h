#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QString>
#include <vector>

#include "devices/cue_record.h"

namespace fd::show {
class TProjectList;
}

namespace fd::app {

// The cue list's rows read straight from the loaded scenario: a row's texts are made only when the
// view paints it, so the list costs next to nothing per cue however long the show is.
class CueTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { TimeColumn, ConsoleColumn, ChannelColumn, CommentColumn, ColumnCount };

  explicit CueTableModel(const show::TProjectList& cues, QObject* parent = nullptr);

  // The list takes the scenario as it is now: after a load, a failed load or a cancelled dialog.
  void Reload();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // A cell's text: the time as written, the console, the channel as numbered in the file (none for
  // a motion cue, which moves the console instead of firing a channel), the comment.
  static QString CellText(const devices::CueRecord& cue, int column);

  // A cue the show passed over without firing (the chased timecode was past it or jumped over it)
  // stands out in its own colours until the next start or arming; the other rows keep the list's.
  void MarkSkipped(int row, const QString& why);
  void ClearSkipped();
  bool IsSkipped(int row) const;
  static QColor SkippedBackground() { return QColor(0xFF, 0xC8, 0x8C); }
  static QColor SkippedText() { return QColor(0x80, 0x40, 0x00); }

 private:
  const show::TProjectList& cues_;
  // The rows the view was told of; the scenario may already be emptied by a load in progress
  // while the view still paints them.
  int rows_ = 0;
  std::vector<QString> skipped_;  // by row: why it was passed over, empty for a row that was not
};

}  // namespace fd::app
