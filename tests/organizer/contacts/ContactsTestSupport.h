#pragma once

// A desktop store folder of the test home with contact files written the way
// another program writes them, and a counter of the organizer's log lines.
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QSaveFile>

#include <gtest/gtest.h>

namespace contactstest {

inline QString newStoreRoot()
{
    static int counter = 0;
    const QString root = testing_support::testHome() + QStringLiteral("/contact-store-") + QString::number(++counter);
    QDir(root).removeRecursively();
    QDir().mkpath(root + QStringLiteral("/contacts"));
    return root;
}

// A vCard 3.0 of a person; numbers as "label=value" or bare values.
inline QByteArray card(const QString& uid, const QString& last, const QString& first, const QStringList& numbers = {},
                       const QString& org = {}, const QStringList& mails = {})
{
    QByteArray text = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    text += "UID:" + uid.toUtf8() + "\r\n";
    text += "N:" + last.toUtf8() + ";" + first.toUtf8() + ";;;\r\n";
    text += "FN:" + QString(first + QLatin1Char(' ') + last).trimmed().toUtf8() + "\r\n";
    if (!org.isEmpty())
        text += "ORG:" + org.toUtf8() + "\r\n";
    int group = 0;
    for (const QString& n : numbers) {
        const qsizetype eq = n.indexOf(QLatin1Char('='));
        if (eq < 0) {
            text += "TEL;TYPE=CELL:" + n.toUtf8() + "\r\n";
        } else {
            const QByteArray g = "item" + QByteArray::number(++group);
            text += g + ".TEL:" + n.mid(eq + 1).toUtf8() + "\r\n";
            text += g + ".X-ABLabel:" + n.left(eq).toUtf8() + "\r\n";
        }
    }
    for (const QString& m : mails)
        text += "EMAIL;TYPE=INTERNET,WORK:" + m.toUtf8() + "\r\n";
    text += "END:VCARD\r\n";
    return text;
}

// Written to a temporary name and renamed, as vdir programs do.
inline void writeContactFile(const QString& root, const QString& name, const QByteArray& data)
{
    QSaveFile file(root + QStringLiteral("/contacts/") + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
    ASSERT_TRUE(file.commit());
}

// Counts the warnings of the organizer's log category while it lives.
class OrganizerWarningCounter {
public:
    OrganizerWarningCounter()
    {
        s_count = 0;
        s_lines.clear();
        m_previous = qInstallMessageHandler(&OrganizerWarningCounter::handle);
    }
    ~OrganizerWarningCounter() { qInstallMessageHandler(m_previous); }
    OrganizerWarningCounter(const OrganizerWarningCounter&) = delete;
    OrganizerWarningCounter& operator=(const OrganizerWarningCounter&) = delete;

    int count() const { return s_count; }
    QStringList lines() const { return s_lines; }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (type == QtWarningMsg && context.category && QByteArray(context.category) == "marvesto.organizer") {
            ++s_count;
            s_lines.append(message);
        }
    }
    static inline int s_count = 0;
    static inline QStringList s_lines;
    QtMessageHandler m_previous = nullptr;
};

} // namespace contactstest
