#pragma once

#include <QAbstractTableModel>

#include <functional>

// The rows of the group pane, asked for only when they are drawn: the pane may show tens of
// thousands of groups. The count and the caption come from the group store; each row's name
// and count from the row source.
class TGroupPaneModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    struct TRow
    {
        QString Name;
        QString Count;
    };
    using TRowSource = std::function<TRow(int row)>;

    explicit TGroupPaneModel(QObject* parent = nullptr);

    void SetRowSource(TRowSource source);
    void SetCount(int count);
    void SetCaption(const QString& caption);
    // The rows' texts changed in place (counts after an upload).
    void RowsChanged();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    TRowSource m_source;
    int m_count = 0;
    QString m_caption = QStringLiteral("Groups");
};
