#include <QDebug>

void complain()
{
    qWarning("plain console output");
}
