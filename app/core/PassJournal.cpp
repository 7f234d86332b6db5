#include "app/core/PassJournal.h"

#include "platform/DataFolder.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The first byte says whether the pass is under way; the second line gives the body's
// length and checksum.
constexpr char kUnderWay = 'P';
constexpr char kDone = 'D';

QJsonArray toJson(const QStringList& lines) {
    return QJsonArray::fromStringList(lines);
}

QStringList linesOf(const QJsonValue& value) {
    QStringList lines;
    for (const QJsonValue& line : value.toArray())
        lines.append(line.toString());
    return lines;
}

qint64 integerOf(const QJsonValue& value) {
    return value.toString().toLongLong();
}

QByteArray checksum(const QByteArray& body) {
    return QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex();
}

} // namespace

const QString PassJournal::fileName = QStringLiteral("interface-cuvora.passagem");

QStringList PassRecord::ticket(const QList<Item>& moved) const {
    QStringList lines = header;
    for (const Item& item : moved)
        lines += item.lines;
    return lines + feed;
}

QByteArray PassRecord::encode() const {
    QJsonArray copyList;
    for (const Copy& copy : copies)
        copyList.append(QJsonObject{{"destination", copy.destination}, {"port", copy.port}});
    QJsonArray itemList;
    // Ids as texts: a JSON number is a double.
    for (const Item& item : items)
        itemList.append(QJsonObject{{"tabletId", QString::number(item.tabletId)},
                                    {"mainId", QString::number(item.mainId)},
                                    {"codigo", item.codigo},
                                    {"monitorRows", item.monitorRows},
                                    {"lines", toJson(item.lines)}});
    const QJsonObject object{
        {"orderNumber", orderNumber}, {"printer", printer},   {"table", table},
        {"waiter", waiter},           {"fontSize", fontSize}, {"header", toJson(header)},
        {"feed", toJson(feed)},       {"copies", copyList},   {"items", itemList}};
    const QByteArray body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return QByteArray(1, kUnderWay) + '\n' + QByteArray::number(body.size()) + ' ' +
           checksum(body) + '\n' + body;
}

std::optional<PassRecord> PassRecord::decode(const QByteArray& bytes) {
    if (bytes.size() < 2 || bytes.at(0) != kUnderWay || bytes.at(1) != '\n')
        return std::nullopt;
    const qsizetype lineEnd = bytes.indexOf('\n', 2);
    if (lineEnd < 0)
        return std::nullopt;
    const QList<QByteArray> head = bytes.mid(2, lineEnd - 2).split(' ');
    bool sized = false;
    const qsizetype length = head.size() == 2 ? head[0].toLongLong(&sized) : 0;
    if (!sized || length < 0 || bytes.size() - lineEnd - 1 < length)
        return std::nullopt;
    const QByteArray body = bytes.mid(lineEnd + 1, length);
    if (checksum(body) != head[1])
        return std::nullopt;
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    PassRecord record;
    record.orderNumber = object["orderNumber"].toString();
    record.printer = object["printer"].toInt();
    record.table = object["table"].toString();
    record.waiter = object["waiter"].toString();
    record.fontSize = object["fontSize"].toInt();
    record.header = linesOf(object["header"]);
    record.feed = linesOf(object["feed"]);
    for (const QJsonValue& value : object["copies"].toArray()) {
        const QJsonObject copy = value.toObject();
        record.copies.append({copy["destination"].toString(), copy["port"].toString()});
    }
    for (const QJsonValue& value : object["items"].toArray()) {
        const QJsonObject item = value.toObject();
        record.items.append({integerOf(item["tabletId"]), integerOf(item["mainId"]),
                             item["codigo"].toString(), item["monitorRows"].toInt(),
                             linesOf(item["lines"])});
    }
    return record;
}

RecordFile& PassJournal::file() {
    if (!m_file)
        m_file.emplace(datafolder::filePath(fileName));
    return *m_file;
}

std::optional<PassRecord> PassJournal::pending() {
    return PassRecord::decode(file().read());
}

void PassJournal::begin(const PassRecord& record) {
    file().replace(record.encode());
}

void PassJournal::finish() {
    file().overwrite(0, kDone);
}
