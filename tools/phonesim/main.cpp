// phonesim: serves one simulated phone on a pseudo-terminal until killed.
//   phonesim --profile lg [--chunk 4] [--delay 20]
// Prints the slave tty path on the first line of the standard output.

#include "PhoneSimulator.h"

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
    std::fprintf(stderr, "usage: phonesim [--profile NAME] [--chunk BYTES] [--delay MS]\nprofiles:");
    for (const QString& name : phonesim::PhoneProfile::names())
        std::fprintf(stderr, " %s", qPrintable(name));
    std::fprintf(stderr, "\n");
}
} // namespace

int main(int argc, char** argv)
{
    QString profileName = QString::fromLatin1(phonesim::PhoneProfile::kDefaultProfile);
    int chunk = 0;
    int delay = 0;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--profile") && hasValue)
            profileName = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--chunk") && hasValue)
            chunk = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--delay") && hasValue)
            delay = std::atoi(argv[++i]);
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

    phonesim::PhoneSimulator simulator(std::move(*profile));
    simulator.setAnswerChunking(chunk, delay);
    if (!simulator.start()) {
        std::fprintf(stderr, "phonesim: %s\n", qPrintable(simulator.errorString()));
        return 1;
    }
    std::printf("%s\n", qPrintable(simulator.slavePath()));
    std::fflush(stdout);

    char byte = 0;
    while (::read(stopPipe[0], &byte, 1) < 0 && errno == EINTR) {
    }
    simulator.stop();
    return 0;
}
