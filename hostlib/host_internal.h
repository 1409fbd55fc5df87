#pragma once

#include <cstdint>

// A serial number for a new style identifier, unique in the process.
std::uint64_t NextStyleSerial();
