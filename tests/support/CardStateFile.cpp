#include "CardStateFile.h"

#include "TempDir.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

long long BytesFromPcInState(const std::string& statePath)
{
    const QJsonObject state = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(statePath))).object();
    long long received = 0;
    for (const QJsonValue& carried : state["traffic"].toArray())
        received += carried.toObject()["from_pc"].toInteger();
    return received;
}
