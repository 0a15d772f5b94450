// A figure as text output and advice show it: fixed decimals, the C locale's point.
#pragma once

#include <string>

namespace quen::tool {

// `value` with `decimals` places after the point: decimalText(2.345, 1) is "2.3".
std::string decimalText(double value, int decimals);

}  // namespace quen::tool
