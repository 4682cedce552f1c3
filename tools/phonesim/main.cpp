// phonesim: serves one simulated phone until killed.
//   phonesim --profile lg [--chunk 4] [--delay 20] [--rate 115200] [--script imei-serial]
//            [--socket PATH [--device-file FILE] [--address 00:12:34:56:78:9a]] [--obex-relay PORT]
// Prints the slave tty path (or, with --socket, the socket path) on the first
// line of the standard output. With --socket the phone serves the clients of
// a local socket, as its Bluetooth channels would (its OBEX channels on
// PATH.obex, in OBEX mode from the first byte); --device-file writes the
// Bluetooth device file that makes the program reach it there (set
// MARVESTO_BLUETOOTH_DEVICES to the file's path). --obex-relay PORT passes the
// bytes after the AT switch to the OBEX server on 127.0.0.1:PORT.

#include "IdentificationScripts.h"
#include "IrmcPhone.h"
#include "PhoneSimulator.h"
#include "ServiceRecords.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {
int stopPipe[2] = {-1, -1};

// Runs on whichever thread the signal lands on (the sanitizer runtimes start
// threads of their own before main, so blocking the signals is not enough).
void requestStop(int)
{
    const char byte = 's';
    [[maybe_unused]] const ssize_t written = ::write(stopPipe[1], &byte, 1);
}

void usage()
{
    std::fprintf(stderr, "usage: phonesim [--profile NAME] [--chunk BYTES] [--delay MS] [--rate BITS_PER_S] [--script NAME]\n"
                         "                [--irmc ENTRIES]\n"
                         "                [--obex-relay PORT] [--obex-packet BYTES] [--mobex-contacts COUNT]\n"
                         "                [--socket PATH [--device-file FILE] [--address ADDRESS]]\nprofiles:");
    for (const QString& name : phonesim::PhoneProfile::names())
        std::fprintf(stderr, " %s", qPrintable(name));
    std::fprintf(stderr, "\nscripts:");
    for (const QString& name : phonesim::IdentificationScripts::names())
        std::fprintf(stderr, " %s", qPrintable(name));
    std::fprintf(stderr, "\n");
}
} // namespace

int main(int argc, char** argv)
{
    QString profileName = QString::fromLatin1(phonesim::PhoneProfile::kDefaultProfile);
    int chunk = 0;
    int delay = 0;
    int rate = 0;
    int relayPort = 0;
    int obexPacket = 0;
    int irmcEntries = -1;
    QStringList scripts;
    QString socketPath;
    QString deviceFile;
    QString address = QStringLiteral("00:12:34:56:78:9a");
    int mobexContacts = 0;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--profile") && hasValue)
            profileName = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--chunk") && hasValue)
            chunk = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--delay") && hasValue)
            delay = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--rate") && hasValue)
            rate = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--obex-relay") && hasValue)
            relayPort = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--obex-packet") && hasValue)
            obexPacket = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--irmc") && hasValue)
            irmcEntries = std::max(0, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--script") && hasValue)
            scripts.append(QString::fromLocal8Bit(argv[++i]));
        else if (!std::strcmp(argv[i], "--socket") && hasValue)
            socketPath = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--device-file") && hasValue)
            deviceFile = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--address") && hasValue)
            address = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--mobex-contacts") && hasValue)
            mobexContacts = std::atoi(argv[++i]);
        else {
            usage();
            return 2;
        }
    }
    std::optional<phonesim::PhoneProfile> profile = phonesim::PhoneProfile::named(profileName);
    if (!profile) {
        std::fprintf(stderr, "phonesim: unknown profile %s\n", qPrintable(profileName));
        usage();
        return 2;
    }

    if (::pipe(stopPipe) != 0) {
        std::perror("phonesim: pipe");
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &action, nullptr);

    const QString modelName = QString::fromLatin1(profile->model());
    phonesim::PhoneSimulator simulator(std::move(*profile));
    simulator.setAnswerChunking(chunk, delay);
    simulator.setLineRate(rate);
    simulator.setObexRelay(quint16(std::clamp(relayPort, 0, 65535)));
    // The largest OBEX packet the phone sends (obexftp's tty transport takes about 500).
    if (obexPacket > 0) {
        const int packet = std::clamp(obexPacket, 255, 0xFFFF);
        simulator.modifyObexServer([packet](phonesim::ObexServer& obex) { obex.setMaxPacket(packet); });
    }
    // An IrMC phonebook of that many entries behind "IRMC-SYNC".
    if (irmcEntries >= 0) {
        auto irmc = std::make_shared<phonesim::IrmcPhone>();
        irmc->setCapacity(std::max(500, irmcEntries));
        for (int n = 1; n <= irmcEntries; ++n)
            irmc->addEntry(phonesim::IrmcPhone::card(QStringLiteral("Entry %1").arg(n, 3, 10, QLatin1Char('0')),
                                                     QStringLiteral("+4930%1").arg(1000 + n)));
        simulator.modifyObexServer([irmc](phonesim::ObexServer& obex) { obex.setIrmcPhone(irmc); });
    }
    // A Samsung phone's MOBEX store filled with numbered contacts.
    simulator.modifyObexServer([mobexContacts](phonesim::ObexServer& obex) {
        if (phonesim::MobexStore* store = obex.mobexStore())
            phonesim::MobexStore::fillContacts(*store, mobexContacts);
    });
    for (const QString& script : scripts) {
        if (!phonesim::IdentificationScripts::apply(simulator, script)) {
            std::fprintf(stderr, "phonesim: unknown script %s\n", qPrintable(script));
            usage();
            return 2;
        }
    }
    const bool started = socketPath.isEmpty() ? simulator.start() : simulator.startListening(socketPath);
    if (!started) {
        std::fprintf(stderr, "phonesim: %s\n", qPrintable(simulator.errorString()));
        return 1;
    }
    if (!deviceFile.isEmpty() && !socketPath.isEmpty()) {
        QFile file(deviceFile);
        const QByteArray text = phonesim::ServiceRecords::deviceFile(address, modelName, profileName, socketPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size()) {
            std::fprintf(stderr, "phonesim: cannot write %s\n", qPrintable(deviceFile));
            return 1;
        }
    }
    std::printf("%s\n", qPrintable(socketPath.isEmpty() ? simulator.slavePath() : socketPath));
    // The USB vendor and product of the model's modem (the LG phones').
    if (profileName.startsWith(QLatin1String("lg")))
        std::printf("4100 24576\n");
    std::fflush(stdout);

    char byte = 0;
    while (::read(stopPipe[0], &byte, 1) < 0 && errno == EINTR) {
    }
    simulator.stop();
    return 0;
}
