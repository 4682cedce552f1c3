#include "devicewindow/MFWindowController.h"

MFWindowController::MFWindowController(QObject* parent) : QObject(parent)
{
}

MFWindowController::~MFWindowController() = default;
