// Command-line parsing for the auralith commands: positional arguments, "--name VALUE" or
// "--name=VALUE" options and "--name" flags, checked against each command's table; and the
// conversions of option values into the parameter record's units.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "frame/plugin_params.h"

struct OptionSpec {
  const char* name;  // without the leading "--"
  bool takesValue;
};

struct ParsedArgs {
  std::vector<std::string> positionals;
  std::map<std::string, std::string> values;  // the last one given wins
  bool helpAsked = false;

  bool Has(const std::string& name) const { return values.count(name) != 0; }
  const std::string& Get(const std::string& name) const { return values.at(name); }
};

// Parses `args` against `options`; an unknown option, a missing value or a value given to a
// flag is a usage error of `command`. "--" ends the options. --help is always understood.
ParsedArgs ParseArgs(const std::string& command, const std::vector<std::string>& args,
                     const std::vector<OptionSpec>& options);

// Requires between `minimum` and `maximum` positional arguments, named in the error.
void RequirePositionals(const std::string& command, const ParsedArgs& parsed, size_t minimum,
                        size_t maximum, const char* names);

// Value parsers; each refuses a malformed or out-of-range value with a usage error that names
// the option and the accepted range.
double ParseNumber(const std::string& command, const std::string& option, const std::string& text,
                   double minimum, double maximum);
long ParseInteger(const std::string& command, const std::string& option, const std::string& text,
                  long minimum, long maximum);
// "off" (silent, -800) or decibels from -80 to +20, in tenths of a dB.
LONG ParseLevel(const std::string& command, const std::string& option, const std::string& text);
// "HZ:DB": the frequency in Hz (within minHz..maxHz) and the gain in tenths of a dB (±15 dB).
void ParseShelf(const std::string& command, const std::string& option, const std::string& text,
                LONG minHz, LONG maxHz, LONG* hz, LONG* tenthsOfDb);
// "T:L,T:L,...": 2 to 16 points, T in thousandths of the envelope's span (0..1000, rising),
// L in percent of linear gain (0..100).
std::vector<EnvelopePoint> ParseEnvelope(const std::string& command, const std::string& option,
                                         const std::string& text);
// Tenths of a dB / ms, hundredths of a second, from decimal text, rounded to nearest.
LONG ToTenths(double value);
LONG ToHundredths(double value);
