// What the rewriters write is read back by libical's vCalendar 1.0 parser
// with the same summaries, dates and names. The texts are kept as fixtures
// (MARVESTO_UPDATE_FIXTURES=1 rewrites them).
#include "formats/VCalendar2To1.h"
#include "formats/VCard3To21.h"

#include <QDir>
#include <QFile>

#include <libical/vcc.h>
#include <libical/vobject.h>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kFolder = QStringLiteral(MARVESTO_TEST_DATA "/rewriters");

// The value of the first property of that name, at any depth.
QString valueOf(VObject* object, const char* name)
{
    VObjectIterator it;
    initPropIterator(&it, object);
    while (moreIteration(&it)) {
        VObject* property = nextVObject(&it);
        if (qstrcmp(vObjectName(property), name) == 0 && vObjectUStringZValue(property)) {
            char* text = fakeCString(vObjectUStringZValue(property));
            const QString value = QString::fromUtf8(text);
            deleteStr(text);
            return value;
        }
        const QString nested = valueOf(property, name);
        if (!nested.isNull())
            return nested;
    }
    return QString();
}

void matchFixture(const QString& file, const QByteArray& bytes)
{
    const QString path = kFolder + u'/' + file;
    QFile fixture(path);
    if (qEnvironmentVariableIntValue("MARVESTO_UPDATE_FIXTURES") == 1) {
        QDir().mkpath(kFolder);
        ASSERT_TRUE(fixture.open(QIODevice::WriteOnly | QIODevice::Truncate));
        fixture.write(bytes);
        return;
    }
    ASSERT_TRUE(fixture.open(QIODevice::ReadOnly)) << qPrintable(path);
    EXPECT_EQ(fixture.readAll(), bytes) << qPrintable(path);
}

struct Expected {
    const char* property;
    const char* value;
};

void expectRead(const QByteArray& text, std::initializer_list<Expected> expected)
{
    VObject* objects = Parse_MIME(text.constData(), static_cast<unsigned long>(text.size()));
    ASSERT_NE(objects, nullptr) << text.constData();
    for (const Expected& e : expected)
        EXPECT_EQ(valueOf(objects, e.property), QString::fromUtf8(e.value)) << e.property;
    cleanVObjects(objects);
    cleanStrTbl();
}

TEST(RewritersLibical, CalendarTexts)
{
    const QByteArray event = VCalendar2To1::dictionary1ForVCalendar(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//x//y//EN\r\nBEGIN:VEVENT\r\nUID:42\r\n"
        "DTSTART:20240301T100000Z\r\nDTEND:20240301T113000Z\r\nSUMMARY:Caf\xC3\xA9 meeting\r\n"
        "DESCRIPTION:first\\nsecond\r\nitem1.LOCATION:Room 4\r\nRRULE:FREQ=WEEKLY\r\n"
        "BEGIN:VALARM\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    matchFixture(QStringLiteral("event.vcs"), event);
    expectRead(event, {{"SUMMARY", "Café meeting"}, {"DTSTART", "20240301T100000Z"}, {"DTEND", "20240301T113000Z"},
                       {"LOCATION", "Room 4"}, {"DESCRIPTION", "first\r\nsecond"}});

    const QByteArray task = VCalendar2To1::dictionary1ForVCalendar(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VTODO\r\nDUE;VALUE=DATE:20240305\r\nSUMMARY:Pay\\, then file\r\n"
        "PRIORITY:1\r\nSTATUS:NEEDS-ACTION\r\nEND:VTODO\r\nEND:VCALENDAR\r\n");
    matchFixture(QStringLiteral("task.vcs"), task);
    expectRead(task, {{"SUMMARY", "Pay, then file"}, {"DUE", "20240305"}, {"PRIORITY", "1"}});
}

TEST(RewritersLibical, CardTexts)
{
    const QByteArray card = VCard3To21::dictionary21ForVCard(
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:M\xC3\xBCller;J\xC3\xB6rg;;;\r\nFN:J\xC3\xB6rg M\xC3\xBCller\r\n"
        "ORG:Example Ltd;Sales\r\nitem1.TEL;type=CELL;type=pref:+49 170 1\r\nEMAIL;type=INTERNET;type=HOME:j@x.de\r\n"
        "BDAY:1980-01-02\r\nNOTE:line\\nnext\r\nPHOTO;ENCODING=b;TYPE=JPEG:AAAA\r\nUID:1\r\nEND:VCARD\r\n");
    matchFixture(QStringLiteral("card.vcf"), card);
    expectRead(card, {{"FN", "Jörg Müller"}, {"TEL", "+49 170 1"}, {"EMAIL", "j@x.de"}, {"BDAY", "19800102"},
                      {"NOTE", "line\r\nnext"}});
}

} // namespace
