#pragma once

#include <QAbstractTableModel>
#include <QString>

class TNewsrcStore;

// The group pane's rows, produced on demand from the shown list: the pane holds no rows
// of its own, so showing 100,000 groups costs no more than showing ten. The row count
// and the first column's caption are what the store last set through the view.
class TGroupListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TGroupListModel(TNewsrcStore& store, QObject* parent = nullptr);

    struct TRow
    {
        QString Name;
        QString Count;
    };
    // The texts of one row: the group name and its count in decimal.
    TRow GroupListData(int row) const;

    void SetRowCount(int count);
    void SetCaption(const QString& caption);
    // The rows' texts changed in place (counts added): redraw without a reset.
    void Repaint();

    // Width of the group column: the pane's width less the Count column and a margin that
    // leaves room for the scroll bar when not every row fits.
    static int FirstColumnWidth(int rowCount, int visibleRows, int paneWidth, int countWidth);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    TNewsrcStore& m_store;
    int m_rowCount = 0;
    QString m_caption;
};
