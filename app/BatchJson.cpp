#include "BatchJson.h"

#include "DecodedText.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

int Percent(const TUpdateSession::TBarValue& bar) { return bar.Maximum <= 0 ? 0 : bar.Value * 100 / bar.Maximum; }

const char* BoxKindText(TBoxKind kind)
{
    switch (kind) {
    case TBoxKind::Error: return "error";
    case TBoxKind::Warning: return "warning";
    case TBoxKind::Information: return "information";
    case TBoxKind::Question: return "question";
    }
    return "error";
}

QJsonArray AccountJson(const std::vector<std::string>& lines)
{
    QJsonArray array;
    for (const std::string& line : lines)
        array.append(DecodedText(line));
    return array;
}

QJsonObject RowJson(const TSummaryRow& row)
{
    return QJsonObject{
        {QStringLiteral("device_id"), row.DeviceKnown ? QJsonValue(QString::fromStdString(SummaryDeviceText(row))) : QJsonValue()},
        {QStringLiteral("result"), QString::fromLatin1(SummaryResultText(row.Result))},
        {QStringLiteral("message"), DecodedText(row.Message)},
        {QStringLiteral("duration_seconds"), static_cast<double>(row.DurationMs) / 1000.0},
        {QStringLiteral("lines_sent"), row.LinesSent},
        {QStringLiteral("retransmissions"), row.Retransmissions},
        {QStringLiteral("noise_bytes_dropped"), static_cast<double>(row.NoiseDropped)},
        {QStringLiteral("account"), AccountJson(row.Account)},
    };
}

}  // namespace

TBatchJson::TBatchJson(const std::vector<std::unique_ptr<TBatchMode::TCard>>& cards, TWrite write)
    : Cards(cards), WriteLine(std::move(write))
{
    ProgressTimer.setInterval(ProgressIntervalMs);
    ProgressTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ProgressTimer, &QTimer::timeout, &ProgressTimer, [this] { Progress(); });
}

std::string TBatchJson::PortName(const TBatchMode::TCard& card)
{
    return LinkName(card.Session->GetLink());
}

QJsonObject TBatchJson::Event(const char* name, const TBatchMode::TCard* card) const
{
    QJsonObject object{{QStringLiteral("event"), QString::fromLatin1(name)},
                       {QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)}};
    if (card)
        object[QStringLiteral("port")] = DecodedText(PortName(*card));
    return object;
}

void TBatchJson::Write(const QJsonObject& object)
{
    if (WriteLine)
        WriteLine(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString());
}

void TBatchJson::Started(const TBatchMode::TCard& card)
{
    Write(Event("start", &card));
    if (!ProgressTimer.isActive())
        ProgressTimer.start();
}

void TBatchJson::StatusLine(const TBatchMode::TCard& card, const std::string& line)
{
    QJsonObject object = Event("status", &card);
    object[QStringLiteral("text")] = DecodedText(line);
    Write(object);
}

void TBatchJson::DeviceId(const TBatchMode::TCard& card)
{
    QJsonObject object = Event("device", &card);
    object[QStringLiteral("device_id")] = QString::fromStdString(DeviceIdText(true, card.DeviceId));
    Write(object);
}

void TBatchJson::Box(const TBatchMode::TCard& card, TBoxKind kind, const std::string& text)
{
    QJsonObject object = Event("box", &card);
    object[QStringLiteral("kind")] = QString::fromLatin1(BoxKindText(kind));
    object[QStringLiteral("text")] = DecodedText(text);
    Write(object);
}

void TBatchJson::Ended(const TBatchMode::TCard& card, const TSummaryRow& row)
{
    QJsonObject object = Event("end", &card);
    const QJsonObject values = RowJson(row);
    for (auto value = values.begin(); value != values.end(); ++value)
        object[value.key()] = value.value();
    Write(object);
}

void TBatchJson::Summary(const std::vector<TSummaryRow>& rows, int exitCode)
{
    Stop();
    QJsonArray cards;
    for (const TSummaryRow& row : rows) {
        QJsonObject card = RowJson(row);
        card[QStringLiteral("port")] = DecodedText(row.Port);
        cards.append(card);
    }
    QJsonObject object = Event("summary", nullptr);
    object[QStringLiteral("exit_code")] = exitCode;
    object[QStringLiteral("cards")] = cards;
    Write(object);
}

// Each card's bars as they stand, when they changed since they were last shown
// and that was long enough ago: a station is told at most four times a second.
void TBatchJson::Progress()
{
    for (const std::unique_ptr<TBatchMode::TCard>& card : Cards) {
        if (card->Ended)
            continue;
        const TUpdateSession& session = *card->Session;
        const std::int64_t secondsLeft = session.SecondsLeft();
        QJsonObject object = Event("progress", card.get());
        object[QStringLiteral("operation")] = Percent(session.GetBar(TUpdateSession::TRunBar::Operation));
        object[QStringLiteral("component")] = Percent(session.GetBar(TUpdateSession::TRunBar::Component));
        object[QStringLiteral("update")] = Percent(session.GetBar(TUpdateSession::TRunBar::Whole));
        object[QStringLiteral("seconds_left")] = secondsLeft < 0 ? QJsonValue() : QJsonValue(static_cast<qint64>(secondsLeft));
        QJsonObject values = object;
        values.remove(QStringLiteral("time"));
        const std::string shownValues = QJsonDocument(values).toJson(QJsonDocument::Compact).toStdString();
        TShown& shown = Shown[card.get()];
        if (shownValues == shown.Values || (shown.Since.isValid() && shown.Since.elapsed() < ProgressIntervalMs))
            continue;
        shown.Values = shownValues;
        shown.Since.start();
        Write(object);
    }
}
