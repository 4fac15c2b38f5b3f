#pragma once

#include <QStyledItemDelegate>

// Underlines the row under the mouse, so the row a click will pick is plain to see, and
// right-aligns the group pane's counts.
class THotRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
