#pragma once

#include <cstdint>
#include <string>

// Upper-case hexadecimal texts shared by the trace line and the table columns.

// An identifier: at least 3 digits for a standard frame, 8 for an extended one.
void AppendIdText(std::string& text, std::uint32_t id, bool isStandard);
// One data byte as two digits.
void AppendByteText(std::string& text, std::uint8_t value);
