#include "ui/ServerListBox.h"

#include "base/ProfileSettings.h"
#include "ui/ServerDialog.h"
#include "ui/ServerTestButton.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QPushButton* NamedButton(const QString& text, const char* name, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

QString roleText(const TServerEntry& e)
{
    switch (e.Role) {
    case TServerRole::Check:
        return QStringLiteral("check");
    case TServerRole::Both:
        return QStringLiteral("post, check");
    case TServerRole::Post:
        break;
    }
    return QStringLiteral("post");
}

} // namespace

TServerListBox::TServerListBox(TControls controls, TRefill refill, QWidget* parent)
    : QGroupBox(QStringLiteral("Servers"), parent), m_controls(std::move(controls)),
      m_refill(std::move(refill)), m_view(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("ServerList"));
    m_view->setObjectName(QStringLiteral("ServerListView"));
    m_view->setRootIsDecorated(false);
    m_view->setAllColumnsShowFocus(true);
    m_view->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Server"),
                             QStringLiteral("Security"), QStringLiteral("Role"),
                             QStringLiteral("Priority")});
    m_view->header()->setStretchLastSection(false);
    m_view->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_view->setMinimumHeight(90);
    auto* add = NamedButton(QStringLiteral("Add..."), "AddServer", this);
    m_edit = NamedButton(QStringLiteral("Edit..."), "EditServer", this);
    m_remove = NamedButton(QStringLiteral("Remove"), "RemoveServer", this);
    m_up = NamedButton(QStringLiteral("Up"), "ServerUp", this);
    m_down = NamedButton(QStringLiteral("Down"), "ServerDown", this);
    m_test = new TServerTestButton(
        [this]() -> std::optional<TServerEntry> {
            const int row = selectedRow();
            if (row < 0) {
                m_test->ShowText(QStringLiteral("Select the server to test."));
                return std::nullopt;
            }
            return merged(m_controls()).Entries().at(row);
        },
        this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {add, m_edit, m_remove, m_up, m_down})
        buttons->addWidget(b);
    buttons->addWidget(m_test->Button());
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view);
    layout->addLayout(buttons);
    layout->addWidget(m_test);
    connect(add, &QPushButton::clicked, this, &TServerListBox::addClick);
    connect(m_edit, &QPushButton::clicked, this, &TServerListBox::editClick);
    connect(m_view, &QTreeWidget::itemDoubleClicked, this, &TServerListBox::editClick);
    connect(m_remove, &QPushButton::clicked, this, [this] {
        change([](TServerList& list, int row) { return list.Remove(list.Entries()[row].Name); });
    });
    connect(m_up, &QPushButton::clicked, this, [this] {
        change([](TServerList& list, int row) { return list.Move(list.Entries()[row].Name, -1); });
    });
    connect(m_down, &QPushButton::clicked, this, [this] {
        change([](TServerList& list, int row) { return list.Move(list.Entries()[row].Name, 1); });
    });
    connect(m_view, &QTreeWidget::currentItemChanged, this, &TServerListBox::updateButtons);
}

void TServerListBox::Fill(const ProfileSettings& settings)
{
    m_list = TServerList::FromProfile(settings);
    show(0);
}

TServerList TServerListBox::merged(const ProfileSettings& fromControls) const
{
    // The fields show the first server's place, security and login; the list keeps its name,
    // role, priority and proxy.
    TServerEntry first = TServerList::FromProfile(fromControls).Entries().first();
    if (!m_list.Entries().isEmpty()) {
        const TServerEntry& kept = m_list.Entries().first();
        // A server named after its host keeps being so named when the host changes.
        if (kept.Name != kept.Host)
            first.Name = kept.Name;
        first.Role = kept.Role;
        first.Priority = kept.Priority;
        first.ProxyHost = kept.ProxyHost;
        first.ProxyPort = kept.ProxyPort;
        first.ProxyUser = kept.ProxyUser;
        first.ProxyPassword = kept.ProxyPassword;
    }
    QList<TServerEntry> entries{first};
    entries += m_list.Entries().mid(1);
    return TServerList(entries);
}

void TServerListBox::ApplyTo(ProfileSettings& fromControls) const
{
    merged(fromControls).ToProfile(fromControls);
}

void TServerListBox::change(const std::function<QString(TServerList&, int)>& operation)
{
    const int row = selectedRow();
    if (row < 0)
        return;
    ProfileSettings s = m_controls();
    TServerList list = merged(s);
    const QString before = list.Entries()[row].Name;
    if (const QString error = operation(list, row); !error.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Servers"), error + u'.');
        return;
    }
    m_list = list;
    list.ToProfile(s);
    m_refill(s);
    const int at = m_list.IndexOf(before);
    show(at >= 0 ? at : qMin(row, int(m_list.Entries().size()) - 1));
}

void TServerListBox::show(int selected)
{
    m_view->clear();
    for (const TServerEntry& e : m_list.Entries()) {
        auto* item = new QTreeWidgetItem(m_view);
        item->setText(0, e.Name);
        item->setText(1, QStringLiteral("%1:%2").arg(e.Host).arg(e.EffectivePort()));
        item->setText(2, e.Security);
        item->setText(3, roleText(e));
        item->setText(4, e.Posts() ? QString::number(e.Priority) : QString());
    }
    for (int c = 0; c < m_view->columnCount(); ++c)
        if (c != 1)
            m_view->resizeColumnToContents(c);
    if (selected >= 0 && selected < m_view->topLevelItemCount())
        m_view->setCurrentItem(m_view->topLevelItem(selected));
    updateButtons();
}

int TServerListBox::selectedRow() const
{
    return m_view->currentItem() ? m_view->indexOfTopLevelItem(m_view->currentItem()) : -1;
}

void TServerListBox::updateButtons()
{
    const int row = selectedRow();
    const int count = m_view->topLevelItemCount();
    m_edit->setEnabled(row >= 0);
    m_remove->setEnabled(row >= 0 && count > 1);
    m_up->setEnabled(row > 0);
    m_down->setEnabled(row >= 0 && row < count - 1);
}

void TServerListBox::addClick()
{
    TServerEntry e;
    e.Priority = 1;
    TServerDialog dialog(e, false, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const TServerEntry added = dialog.Entry();
    m_view->setCurrentItem(m_view->topLevelItem(0));
    change([added](TServerList& list, int) { return list.Add(added); });
    show(int(m_list.Entries().size()) - 1);
}

void TServerListBox::editClick()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const TServerEntry current = merged(m_controls()).Entries().at(row);
    TServerDialog dialog(current, row == 0, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const TServerEntry edited = dialog.Entry();
    change([&](TServerList& list, int) { return list.Replace(current.Name, edited); });
}
