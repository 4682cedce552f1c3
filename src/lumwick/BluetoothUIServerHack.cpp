#include "lumwick/BluetoothUIServerHack.h"

#include "lumwick/LumwickLog.h"
#include "platform/Exception.h"
#include "platform/RunLoop.h"
#include "platform/bluetooth/BluetoothPairingAgent.h"
#include "platform/bluetooth/BluetoothStack.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QWidget>

#include <cmath>

platform::BluetoothPairingAgent& BluetoothUIServerHack::agent()
{
    return platform::BluetoothStack::shared().pairingAgent();
}

bool BluetoothUIServerHack::sendNumberString(const QString& number, const QString&)
{
    for (QChar c : number) {
        const int value = int(c.unicode()) - int(u'0');
        if (value < 0 || value > 9)
            throw platform::Exception(QStringLiteral("NSInvalidArgumentException"),
                                      QStringLiteral("aNumber (%1) must be between (0,9)").arg(value));
    }
    return agent().type(number);
}

bool BluetoothUIServerHack::sendEnterToApplicationNamed(const QString&)
{
    return agent().enter();
}

void BluetoothUIServerHack::addObserverForOpeningOfBluetoothKeyDialog(const void* observer, Handler handler)
{
    platform::NotificationCenter::defaultCenter().addObserver(
        observer, QString::fromLatin1(platform::BluetoothPairingAgent::kRequestStartedNotification), &agent(),
        std::move(handler));
}

void BluetoothUIServerHack::removeObserverForOpeningOfBluetoothDialog(const void* observer)
{
    platform::NotificationCenter::defaultCenter().removeObserver(
        observer, QString::fromLatin1(platform::BluetoothPairingAgent::kRequestStartedNotification));
}

QString BluetoothUIServerHack::executeCommand(const QString& tool, const QStringList& arguments)
{
    QProcess process;
    process.setProgram(tool);
    process.setArguments(arguments);
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted()) {
        lumwick::lumwickLog(QStringLiteral("could not run %1: %2").arg(tool, process.errorString()));
        return {};
    }
    process.closeWriteChannel();
    QByteArray output;
    QElapsedTimer elapsed;
    elapsed.start();
    while (process.state() != QProcess::NotRunning && elapsed.elapsed() < kCommandTimeLimitMs) {
        process.waitForReadyRead(100);
        output += process.readAllStandardOutput().left(kCommandOutputLimit - output.size());
        process.readAllStandardError();
    }
    if (process.state() != QProcess::NotRunning) {
        lumwick::lumwickLog(QStringLiteral("%1 did not end in time").arg(tool));
        process.kill();
        process.waitForFinished(1000);
    }
    output += process.readAllStandardOutput().left(kCommandOutputLimit - output.size());
    return QString::fromUtf8(output);
}

void BluetoothUIServerHack::closeDialogIfOpen()
{
    agent().reject();
}

bool BluetoothUIServerHack::waitTillItStarted()
{
    const int passes = int(std::ceil(kWaitLimit / kWaitSlice));
    return platform::runloop::waitUntil([] { return agent().hasPendingRequest(); }, kWaitSlice, passes);
}

bool BluetoothUIServerHack::waitTillItCloses()
{
    const int passes = int(std::ceil(kWaitLimit / kWaitSlice));
    return platform::runloop::waitUntil([] { return !agent().hasPendingRequest(); }, kWaitSlice, passes);
}

bool BluetoothUIServerHack::sendCode(const QString& code, bool bringToForeground)
{
    const QString server = QString::fromLatin1(kBluetoothUIServer);
    if (!agent().hasPendingRequest() && !waitTillItStarted())
        return false;
    if (bringToForeground) {
        if (QWidget* window = QApplication::activeWindow()) {
            window->raise();
            window->activateWindow();
        }
    }
    if (!sendNumberString(code, server))
        return false;
    return sendEnterToApplicationNamed(server);
}
