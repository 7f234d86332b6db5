#pragma once

#include "platform/RecordFile.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A pass of the polling cycle as it stands before its first write, kept in the data folder
// until its ticket has been sent: a kill, a crash or a power cut inside the pass leaves it
// there, and the next start finishes the pass from it instead of repeating it. Each item
// carries its tablet id, the main id it was given and its ticket lines, so that what the
// main database holds tells which items were moved.
struct PassRecord {
    struct Item {
        qint64 tabletId = 0;
        qint64 mainId = 0;
        QString codigo;      // with the main id, tells the item's main row
        int monitorRows = 0; // kitchen-monitor rows the item gets
        QStringList lines;   // its lines on the ticket
        bool operator==(const Item&) const = default;
    };
    // Where the ticket goes, in order (printer 5 sends a second copy).
    struct Copy {
        QString destination;
        QString port;
        bool operator==(const Copy&) const = default;
    };
    QString orderNumber;
    int printer = 0;
    QString table;
    QString waiter; // the waiter's name, for the log
    int fontSize = 0;
    QStringList header;
    QStringList feed;
    QList<Copy> copies;
    QList<Item> items;

    // The ticket with these items: header, their lines, feed lines.
    QStringList ticket(const QList<Item>& moved) const;

    QByteArray encode() const;
    // Nothing when the bytes are no whole record.
    static std::optional<PassRecord> decode(const QByteArray& bytes);

    bool operator==(const PassRecord&) const = default;
};

// The file "interface-cuvora.passagem" in the data folder. begin() returns once the record
// is on the disk; finish() marks it done without waiting for the disk, so a power cut right
// after it may finish the pass once more: its ticket is then sent twice, its items still
// moved once. Throws std::runtime_error when the file cannot be read or written.
class PassJournal {
public:
    static const QString fileName;

    // The pass left unfinished, if any.
    std::optional<PassRecord> pending();
    void begin(const PassRecord& record);
    void finish();

private:
    RecordFile& file();
    std::optional<RecordFile> m_file; // opened in the data folder of its first use
};
