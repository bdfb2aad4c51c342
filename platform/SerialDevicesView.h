#pragma once
// The system's device manager, or on Linux, which has none, a window with
// what the user would look for there.
class QWidget;

namespace zelt {

// Shows the serial devices with their device path, driver and USB identity
// (on Windows: opens the device manager).
void showSerialDevices(QWidget* owner);

}  // namespace zelt
