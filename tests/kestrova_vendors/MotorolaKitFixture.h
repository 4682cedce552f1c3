#pragma once

#include "PhoneSimulator.h"
#include "VirtualTime.h"
#include "kestrova/core/Kestrova.h"
#include "kestrova/vendors/VendorChains.h"

#include <QList>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

#include <gtest/gtest.h>

// A kit on a simulated Motorola phone, with what the phonebook and calendar
// tests share: the callback that records each read and write, the commands
// the phone received, and a read or a write waited for in virtual time.
template <typename Callback>
class MotorolaKitFixture : public ::testing::Test {
protected:
    void SetUp() override { kestrova::vendors::registerVendorChains(); }
    void TearDown() override
    {
        kit.fullStop();
        kit.setCallback(nullptr);
    }
    // Starts the simulated phone after prepare has set up its session, and
    // points the kit at it.
    void startPhone(const char* profile, const std::function<void(phonesim::PhoneSession&)>& prepare)
    {
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QLatin1String(profile)));
        sim->modifySession(prepare);
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        kit.setCallback(&callback);
        kit.setFilename(sim->slavePath());
        kit.setFamily(QLatin1String(profile));
    }
    QStringList linesStartingWith(const QList<QByteArray>& prefixes) const
    {
        QStringList lines;
        for (const QByteArray& line : sim->receivedLines()) {
            for (const QByteArray& prefix : prefixes) {
                if (line.toLower().startsWith(prefix.toLower())) {
                    lines.append(QString::fromLatin1(line));
                    break;
                }
            }
        }
        return lines;
    }
    // Virtual time moves a quarter second a pass: the session's waits cost
    // little real time.
    static bool wait(const std::function<bool()>& done, double seconds = 300.0)
    {
        return testing_support::runUntil(done, seconds, 0.25);
    }
    std::optional<QVariantMap> readWith(void (Kestrova::*ask)())
    {
        const qsizetype before = callback.reads.size();
        (kit.*ask)();
        if (!wait([&] { return callback.reads.size() > before; }))
            return std::nullopt;
        return callback.reads.last();
    }
    std::optional<QVariantMap> writeWith(void (Kestrova::*ask)(const QVariantMap&), const QVariantMap& entries)
    {
        sim->clearReceived();
        const qsizetype before = callback.writes.size();
        (kit.*ask)(entries);
        if (!wait([&] { return callback.writes.size() > before; }))
            return std::nullopt;
        return callback.writes.last();
    }

    testing_support::OutsideInputScope outside{0.05};
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    Callback callback;
    Kestrova kit;
};
