#include "tools/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "tools/cli.h"

namespace {

const OptionSpec* FindOption(const std::vector<OptionSpec>& options, const std::string& name) {
  for (const OptionSpec& option : options)
    if (name == option.name) return &option;
  return nullptr;
}

std::string RangeText(double minimum, double maximum) {
  char text[64];
  std::snprintf(text, sizeof text, "%g..%g", minimum, maximum);
  return text;
}

}  // namespace

ParsedArgs ParseArgs(const std::string& command, const std::vector<std::string>& args,
                     const std::vector<OptionSpec>& options) {
  ParsedArgs parsed;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // A lone "-" and negative numbers are values, not options.
    if (optionsEnded || arg.size() < 2 || arg[0] != '-' || (arg[1] != '-' && arg != "-h")) {
      parsed.positionals.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      parsed.helpAsked = true;
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    const OptionSpec* option = FindOption(options, name);
    if (option == nullptr) UsageError(command, "unknown option '--" + name + "'");
    if (!option->takesValue) {
      if (equals != std::string::npos) UsageError(command, "'--" + name + "' takes no value");
      parsed.values[name] = "";
    } else if (equals != std::string::npos) {
      parsed.values[name] = arg.substr(equals + 1);
    } else {
      if (i + 1 >= args.size()) UsageError(command, "'--" + name + "' needs a value");
      parsed.values[name] = args[++i];
    }
  }
  return parsed;
}

void RequirePositionals(const std::string& command, const ParsedArgs& parsed, size_t minimum,
                        size_t maximum, const char* names) {
  if (parsed.positionals.size() < minimum)
    UsageError(command, std::string("missing ") + names);
  if (parsed.positionals.size() > maximum)
    UsageError(command, "unexpected argument '" + parsed.positionals[maximum] + "'");
}

double ParseNumber(const std::string& command, const std::string& option, const std::string& text,
                   double minimum, double maximum) {
  const char* start = text.c_str();
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(start, &end);
  if (text.empty() || end == start || *end != 0 || errno != 0 || !std::isfinite(value))
    UsageError(command, "'--" + option + "' needs a number, not '" + text + "'");
  if (value < minimum || value > maximum)
    UsageError(command, "'--" + option + "' must lie in " + RangeText(minimum, maximum) + ", not " + text);
  return value;
}

long ParseInteger(const std::string& command, const std::string& option, const std::string& text,
                  long minimum, long maximum) {
  const char* start = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(start, &end, 10);
  if (text.empty() || end == start || *end != 0 || errno != 0)
    UsageError(command, "'--" + option + "' needs a whole number, not '" + text + "'");
  if (value < minimum || value > maximum)
    UsageError(command, "'--" + option + "' must lie in " + RangeText(minimum, maximum) + ", not " + text);
  return value;
}

LONG ToTenths(double value) { return static_cast<LONG>(std::lround(value * 10.0)); }
LONG ToHundredths(double value) { return static_cast<LONG>(std::lround(value * 100.0)); }

LONG ParseLevel(const std::string& command, const std::string& option, const std::string& text) {
  if (text == "off") return -800;
  return ToTenths(ParseNumber(command, option, text, -80.0, 20.0));
}

void ParseShelf(const std::string& command, const std::string& option, const std::string& text,
                LONG minHz, LONG maxHz, LONG* hz, LONG* tenthsOfDb) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) UsageError(command, "'--" + option + "' needs HZ:DB, not '" + text + "'");
  *hz = static_cast<LONG>(ParseInteger(command, option, text.substr(0, colon), minHz, maxHz));
  *tenthsOfDb = ToTenths(ParseNumber(command, option, text.substr(colon + 1), -15.0, 15.0));
}

std::vector<EnvelopePoint> ParseEnvelope(const std::string& command, const std::string& option,
                                         const std::string& text) {
  std::vector<EnvelopePoint> points;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    const std::string point = text.substr(start, comma - start);
    const size_t colon = point.find(':');
    if (colon == std::string::npos)
      UsageError(command, "'--" + option + "' needs points T:L, not '" + point + "'");
    EnvelopePoint parsed;
    parsed.position = static_cast<LONG>(ParseInteger(command, option, point.substr(0, colon), 0, 1000));
    parsed.level = static_cast<LONG>(ParseInteger(command, option, point.substr(colon + 1), 0, 100));
    if (!points.empty() && parsed.position < points.back().position)
      UsageError(command, "'--" + option + "' point times must not go back");
    points.push_back(parsed);
    start = comma + 1;
  }
  if (points.size() < 2 || points.size() > static_cast<size_t>(kMaxEnvelopePoints))
    UsageError(command, "'--" + option + "' needs 2 to 16 points");
  return points;
}
