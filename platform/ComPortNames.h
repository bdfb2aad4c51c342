#pragma once
// COM numbers and the serial devices behind them.
//
// The tool names every serial port COMn (n = 1..65535). On Windows COMn is
// the system's own port of that name. On Linux the number is found this way:
//
//   1. A device registered under COMn in the port directory (see
//      PortDirectory.h; the simulated logger registers its pseudo-terminal
//      there) is COMn. A registration takes precedence over rules 2 and 3.
//   2. /dev/ttyUSB<k> (USB serial adapters such as FTDI, k = 0..99) is
//      COM<k+1>: ttyUSB0 is COM1, ttyUSB9 is COM10, ttyUSB99 is COM100.
//   3. /dev/ttyACM<k> (USB CDC modems, k = 0..65434) is COM<k+101>:
//      ttyACM0 is COM101, ttyACM2 is COM103.
//
// Any other number (0, negative, above 65535) names no device. ttyUSB devices
// numbered 100 and above have no COM number and are not listed.
#include <QString>
#include <map>
#include <string>
#include <vector>

namespace zelt {

// The device path for COMn: a registered device, else the rule above (the
// device file need not exist), else "" when the number names no device.
// On Windows "\\.\COMn".
QString deviceForComNumber(int comNumber);

// The COM number of a device path under the rules 2 and 3 ("/dev/ttyUSB0" ->
// 1, "/dev/ttyACM2" -> 103); 0 when the path has no number by rule.
int comNumberForDevice(const QString& devicePath);

// "COM7" for 7.
QString comName(int comNumber);

struct SerialDeviceInfo {
    int comNumber = 0;
    QString comName;      // "COM7"
    QString devicePath;   // "/dev/ttyUSB6", or the registered device
    QString driver;       // kernel driver ("ftdi_sio", "cdc_acm"); "simulated" when registered
    QString vendorId;     // USB vendor id, four upper-case hex digits ("0403"); empty if unknown
    QString productId;    // USB product id, four upper-case hex digits ("6001"); empty if unknown
    QString description;  // USB product string, or what stands for it
    bool registered = false;
};

// The logger's own adapter (USB 0FE3:6002) and the generic FTDI adapter
// (USB 0403:6001), by the device's USB ids.
bool isLoggerAdapter(const SerialDeviceInfo& d);
bool isGenericAdapter(const SerialDeviceInfo& d);

// Every serial device that has a COM number, sorted by COM number: the
// registered devices and the USB serial devices the system knows.
std::vector<SerialDeviceInfo> listSerialDevices();

// The same from a given sysfs root ("/sys", or a directory a test filled) and
// the given registrations (COM number -> device path). A registration hides a
// USB device of the same COM number, as it does when the port is opened.
std::vector<SerialDeviceInfo> listSerialDevices(const QString& sysRoot,
                                                const std::map<int, std::string>& registered);

}  // namespace zelt
