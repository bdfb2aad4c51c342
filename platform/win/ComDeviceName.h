#pragma once
// COM numbers to the device names Windows opens them by. Only COM1 to COM9
// are reserved names that open as they are written; every port is reached
// through the device namespace, "\\.\COM10", so the tool uses that form for
// all of them. Plain C++.
#include <string>

namespace zelt::win {

// The highest COM number the tool handles (the port field's number must
// also fit the serial port object's 16-bit port number).
constexpr int kMaxComNumber = 65535;

// "\\.\COM7" for 7; empty for a number outside 1..kMaxComNumber.
std::u16string comDeviceName(int comNumber);

}  // namespace zelt::win
