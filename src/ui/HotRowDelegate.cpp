#include "ui/HotRowDelegate.h"

void THotRowDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->state & QStyle::State_MouseOver)
        option->font.setUnderline(true);
    // Counts line up on their last digit.
    if (index.column() == 1)
        option->displayAlignment = Qt::AlignRight | Qt::AlignVCenter;
}
