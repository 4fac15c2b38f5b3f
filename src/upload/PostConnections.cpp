#include "upload/PostConnections.h"

#include "article/NewsArticle.h"
#include "net/bcsNNTP.h"

#include <QDeadlineTimer>

#include <algorithm>

namespace {
// No connection is opened again sooner than this after the server refused one.
constexpr qint64 ReopenPause = 1000;

qint64 now()
{
    return QDeadlineTimer::current().deadline();
}
} // namespace

TPostConnections::TPostConnections(QObject* parent) : QObject(parent)
{
    m_reopenTimer.setSingleShot(true);
    connect(&m_reopenTimer, &QTimer::timeout, this, [this] {
        dispatch();
        if (HasRoom())
            emit RoomFreed();
    });
}

TPostConnections::~TPostConnections() = default;

void TPostConnections::Prepare(const TbcsNNTP& setup, int count)
{
    if (setup.Server().compare(m_server, Qt::CaseInsensitive) != 0) {
        Quit();
        m_server = setup.Server();
        m_allowed = 0;
        m_lastRefusal = -1;
        for (const auto& slot : m_slots)
            slot->Retired = false;
    }
    while (int(m_slots.size()) < count)
        addSlot();
    while (int(m_slots.size()) > count && m_slots.back()->Part == 0) {
        m_slots.back()->Client->Quit();
        m_slots.pop_back();
    }
    for (const auto& slot : m_slots)
        slot->Client->TakeSetup(setup);
}

void TPostConnections::addSlot()
{
    auto owned = std::make_unique<TSlot>();
    TSlot* slot = owned.get();
    slot->Client = std::make_unique<TbcsNNTP>();
    TbcsNNTP* client = slot->Client.get();
    connect(client, &TbcsNNTP::OnPosted, this, [this, slot, client] {
        posted(*slot, client->ReplyCode() == 240, client->ReplyCode(), client->ReplyText());
    });
    connect(client, &TbcsNNTP::OnPostFailed, this, [this, slot, client](const QString& reason) {
        posted(*slot, false, client->ReplyCode(), reason);
    });
    connect(client, &TbcsNNTP::OnError, this, [this, slot, client](const QString& text) {
        failed(*slot, text, client->ReplyCode());
    });
    connect(client, &TbcsNNTP::OnDisconnected, this, [this, slot, client] {
        const QString& step = client->ClosedDuring();
        failed(*slot,
               QStringLiteral("Your connection to %1 was unexpectedly closed.%2")
                   .arg(client->Server(),
                        step.isEmpty() ? QString() : " The server closed it during: " + step + "."),
               0);
    });
    connect(client, &TbcsNNTP::OnProgress, this, [this, slot](int percent) {
        if (slot->Part != 0 && slot->Part == lowestPart())
            emit Progress(percent);
    });
    connect(client, &TbcsNNTP::OnLogEvent, this, &TPostConnections::LogEvent);
    connect(client, &TbcsNNTP::OnCertificateRefused, this, &TPostConnections::CertificateRefused);
    m_slots.push_back(std::move(owned));
}

bool TPostConnections::HasRoom() const
{
    if (!m_waiting.empty())
        return false;
    // A connection not to be opened yet takes its part once it may (RoomFreed follows).
    return std::any_of(m_slots.begin(), m_slots.end(),
                       [](const auto& slot) { return !slot->Retired && slot->Part == 0; });
}

void TPostConnections::Send(qint64 part, std::unique_ptr<TNewsArticle> article)
{
    m_waiting.emplace_back(part, std::move(article));
    dispatch();
}

bool TPostConnections::Idle() const
{
    return m_waiting.empty() && Busy() == 0;
}

int TPostConnections::Busy() const
{
    return int(std::count_if(m_slots.begin(), m_slots.end(),
                             [](const auto& slot) { return slot->Part != 0; }));
}

void TPostConnections::Stop()
{
    m_waiting.clear();
    m_reopenTimer.stop();
    for (const auto& slot : m_slots) {
        if (slot->Part == 0)
            continue;
        slot->Part = 0;
        slot->Client->Cancel();
    }
}

void TPostConnections::Quit()
{
    for (const auto& slot : m_slots)
        if (slot->Part == 0)
            slot->Client->Quit();
}

bool TPostConnections::mayOpen(const TSlot& slot) const
{
    return slot.Client->Connected() || m_lastRefusal < 0 || now() - m_lastRefusal >= ReopenPause;
}

TPostConnections::TSlot* TPostConnections::freeSlot()
{
    TSlot* closed = nullptr;
    for (const auto& slot : m_slots) {
        if (slot->Retired || slot->Part != 0 || !mayOpen(*slot))
            continue;
        if (slot->Client->Connected())
            return slot.get();
        if (!closed)
            closed = slot.get();
    }
    return closed;
}

void TPostConnections::dispatch()
{
    while (!m_waiting.empty()) {
        TSlot* slot = freeSlot();
        if (!slot)
            break;
        slot->Part = m_waiting.front().first;
        slot->Article = std::move(m_waiting.front().second);
        m_waiting.pop_front();
        slot->Client->SetArticle(slot->Article.get());
        slot->Client->PostComposed();
    }
    if (m_waiting.empty() || m_lastRefusal < 0)
        return;
    // A part waits for a connection that may not be opened yet.
    const qint64 left = ReopenPause - (now() - m_lastRefusal);
    if (left > 0 && !m_reopenTimer.isActive())
        m_reopenTimer.start(int(left));
}

void TPostConnections::posted(TSlot& slot, bool accepted, int code, const QString& text)
{
    const qint64 part = slot.Part;
    if (part == 0)
        return;
    // The article stays with the connection until its next part: the client may still
    // look at it while its handlers run.
    slot.Part = 0;
    emit Answered(part, accepted, code, text);
    dispatch();
}

void TPostConnections::failed(TSlot& slot, const QString& text, int replyCode)
{
    // An idle connection that went is opened again when it is needed.
    if (slot.Part == 0)
        return;
    if (refusedForLimit(slot)) {
        retire(slot, text);
        return;
    }
    emit Failed(text, replyCode);
}

bool TPostConnections::refusedForLimit(const TSlot& slot) const
{
    const int code = slot.Client->ReplyCode();
    const bool limit =
        code == 502 ||
        ((code == 400 || code == 481) &&
         slot.Client->ReplyText().contains(QLatin1String("connection"), Qt::CaseInsensitive));
    if (!limit)
        return false;
    // Only while another connection works: a server that takes none has failed.
    return std::any_of(m_slots.begin(), m_slots.end(), [&slot](const auto& other) {
        return other.get() != &slot && !other->Retired &&
               (other->Client->Connected() || other->Part != 0);
    });
}

void TPostConnections::retire(TSlot& slot, const QString& text)
{
    slot.Retired = true;
    m_lastRefusal = now();
    // Its part goes first over the next connection that is free.
    m_waiting.emplace_front(slot.Part, std::move(slot.Article));
    slot.Part = 0;
    slot.Client->SetArticle(nullptr);
    const int usable = int(
        std::count_if(m_slots.begin(), m_slots.end(), [](const auto& s) { return !s->Retired; }));
    if (m_allowed == 0)
        emit LogEvent(QStringLiteral("The server %1 refused a further connection (%2): posting "
                                     "over the %3 it allows")
                          .arg(m_server, text)
                          .arg(usable));
    m_allowed = usable;
    dispatch();
}

qint64 TPostConnections::lowestPart() const
{
    qint64 lowest = 0;
    for (const auto& slot : m_slots)
        if (slot->Part != 0 && (lowest == 0 || slot->Part < lowest))
            lowest = slot->Part;
    return lowest;
}
