#pragma once
// The serial ports of this machine, for the port list of the settings.

#include <QString>
#include <QStringList>

// Device paths of the serial ports that have hardware behind them (USB
// adapters, modems, on-board and PCI UARTs), from the kernel's tty class in
// sysfs. No device is opened: opening a port pulses DTR and RTS on whatever
// is attached. The roots are parameters for the tests.
QStringList availableSerialPorts(const QString &sysClassTty = QStringLiteral("/sys/class/tty"),
                                 const QString &devDir = QStringLiteral("/dev"));

// The first USB serial adapter (ttyUSB, then ttyACM) of that list; empty when
// there is none.
QString firstUsbSerialPort(const QString &sysClassTty = QStringLiteral("/sys/class/tty"),
                           const QString &devDir = QStringLiteral("/dev"));
