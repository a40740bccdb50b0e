// The help texts of the tool and its commands.
#include <cstdio>

#include "tools/cli.h"
#include "tools/commands.h"

namespace {

const char kToolHelp[] =
    "usage: auralith COMMAND [ARGS...]\n"
    "\n"
    "The command-line host of the Auralith convolution reverb.\n"
    "\n"
    "commands:\n"
    "  process INPUT OUTPUT [...]   render a wave file through the reverb, tail included\n"
    "  make-irx SOURCE DEST         write an impulse file (.irx) from a wave file\n"
    "  info FILE [--json]           what the impulse loader sees in an impulse or wave file\n"
    "  preset show FILE [--json]    the settings stored in a preset file\n"
    "  preset builtin INDEX OUTPUT  write one of the built-in presets to a file\n"
    "  preset list                  the built-in presets\n"
    "  test-tone OUTPUT [...]       write the test tone that impulse recovery needs\n"
    "  recover --test F --recorded F --output F [...]\n"
    "                               recover a room's impulse from a recording of the test tone\n"
    "  demo [DIR]                   synthesise a phrase and a hall, render one through the other\n"
    "  plot IMPULSE OUTPUT.svg      draw an impulse's waveform, envelope and decay marker\n"
    "\n"
    "options: --help (also after any command), --version\n"
    "exit status: 0 done, 1 failed (one line on standard error names the file and the reason),\n"
    "2 bad command line\n";

const char kProcessHelp[] =
    "usage: auralith process INPUT OUTPUT [options]\n"
    "\n"
    "Renders INPUT through the reverb into OUTPUT, tail included. Settings start from the\n"
    "\"(Default)\" preset, then --preset, then the options below. INPUT may be 8/16/24/32-bit\n"
    "PCM, 32/64-bit float, extensible or compressed (mu-law, A-law, ADPCM), mono or stereo;\n"
    "formats the filter does not take are converted to 32-bit float first. OUTPUT has the\n"
    "filter's format (the input's, 32-bit float after a conversion) unless --format is given.\n"
    "\n"
    "  --impulse FILE         impulse file (.irx) or wave file to convolve with\n"
    "  --preset FILE          load settings from a preset file first\n"
    "  --dry DB|off           dry level, -80..20 dB (default off)\n"
    "  --wet DB|off           wet level, -80..20 dB (default 0)\n"
    "  --width 0..100         stereo width of the response (default 50: plain stereo)\n"
    "  --delay MS             response delay, -500..500 ms (negative delays the dry signal)\n"
    "  --pan -100..100        pan of the wet signal, left to right (default 0)\n"
    "  --quality 1..5         1 fast .. 5 exact (default 3)\n"
    "  --mono-to-stereo       make a stereo output from a mono input\n"
    "  --envelope T:L,...     impulse envelope: 2 to 16 points, T in thousandths of the\n"
    "                         impulse's length (0..1000), L in percent (0..100); turns the\n"
    "                         envelope on\n"
    "  --decay-limit SECONDS  cut the impulse after 0.01..12 s; turns the envelope on\n"
    "  --low-shelf HZ:DB      low shelf, 20..15000 Hz, -15..15 dB\n"
    "  --high-shelf HZ:DB     high shelf, 20..20000 Hz, -15..15 dB\n"
    "  --format F             write pcm16, float32 or float64\n"
    "  --block-frames N       frames per buffer the source delivers (default 4096)\n"
    "  --save-preset FILE     save the settings used as a preset file\n"
    "  --package-impulse      put the impulse inside the saved preset\n"
    "  --allow-missing-impulse  render dry when the impulse cannot be found\n"
    "  --progress / --quiet   force / silence the progress bar (shown on a terminal)\n"
    "\n"
    "A count of clipped samples is printed when 16-bit output saturated. Unless --quiet, a\n"
    "line on standard error says when less of the impulse is used than its file holds (cut by\n"
    "the quality, the decay limit or MaxImpulseSize in auralith.ini, with the way out) and when\n"
    "only its first channel is used (a mono input without --mono-to-stereo, or quality 1).\n";

const char kMakeIrxHelp[] =
    "usage: auralith make-irx SOURCE DEST [--progress] [--quiet]\n"
    "\n"
    "Writes the impulse file DEST with the samples of the wave file SOURCE inside, with the\n"
    "source's INFO items (title, author, copyright, comments) and its display text. An impulse\n"
    "file SOURCE is copied as it is.\n";

const char kInfoHelp[] =
    "usage: auralith info FILE [--json]\n"
    "\n"
    "Shows what the impulse loader sees: the description fields (header size, version,\n"
    "channels, bytes per sample, data bytes, sample rate), the attributes line, the file that\n"
    "holds the samples, the INFO items and the display items; then, for each quality 1 to 5\n"
    "on a stream at the impulse's own rate, the processing rate, how much of the impulse is\n"
    "kept (and what cuts it: the quality or MaxImpulseSize) and the block latency.\n";

const char kPresetHelp[] =
    "usage: auralith preset show FILE [--json]\n"
    "       auralith preset builtin INDEX OUTPUT\n"
    "       auralith preset list\n"
    "\n"
    "show: the preset's version, size, packaged impulse size and every field of its settings\n"
    "record, in the record's units (tenths of a dB, tenths of a ms, hundredths of a s).\n"
    "Showing never touches a packaged impulse.\n"
    "builtin: writes built-in preset INDEX (0..3, see 'preset list') as a preset file.\n";

const char kRecoverHelp[] =
    "usage: auralith recover --test FILE --recorded FILE --output FILE [options]\n"
    "\n"
    "Recovers the impulse response of a space from a recording of the test tone (see\n"
    "'auralith test-tone') played in it, and writes it as a wave file.\n"
    "\n"
    "  --mode none|auto|ends   timing spikes: not used, found in the recording, or the\n"
    "                          recording's first and last frames (default ends)\n"
    "  --keep-low-frequencies  keep the frequencies below LowCutFreq\n"
    "  --answer yes|no|ask     how to answer the questions about doubtful spikes (default:\n"
    "                          ask when standard input is a terminal, else no)\n"
    "  --progress / --quiet    force / silence the progress bar\n";

const char kTestToneHelp[] =
    "usage: auralith test-tone OUTPUT [--order K] [--spacing S] [--rate HZ]\n"
    "\n"
    "Writes the recovery test file: S frames of spike section, a sweep of N = 2^K frames,\n"
    "S frames of spike section. Defaults: K 18, S from SpikeSpacing in the settings file\n"
    "(150000), 44100 Hz. Recovery reads SpikeSpacing again, so a different S needs the\n"
    "same value in the settings file.\n";

const char kDemoHelp[] =
    "usage: auralith demo [DIR] [--progress] [--quiet]\n"
    "\n"
    "Synthesises a dry phrase and a concert-hall impulse (no downloaded data), makes an\n"
    "impulse file of the hall, renders the phrase through it and saves the settings as a\n"
    "preset, all in DIR (default auralith-demo).\n";

const char kPlotHelp[] =
    "usage: auralith plot IMPULSE OUTPUT.svg [--preset FILE] [--envelope T:L,...] [--decay S]\n"
    "                     [--width PX] [--height PX]\n"
    "\n"
    "Draws what the Envelope page shows as an SVG picture: the impulse's waveform (left channel\n"
    "above, right below), and with --preset or the envelope options the envelope points (T in\n"
    "thousandths of the impulse's length, L in percent of gain) and the decay marker (S in\n"
    "seconds). A preset whose envelope is not applied draws it dashed over a dimmed waveform.\n"
    "Defaults: 900 x 320 pixels.\n";

}  // namespace

std::string HelpText(const std::string& command) {
  if (command.empty()) return kToolHelp;
  if (command == "process") return kProcessHelp;
  if (command == "make-irx") return kMakeIrxHelp;
  if (command == "info") return kInfoHelp;
  if (command == "preset") return kPresetHelp;
  if (command == "recover") return kRecoverHelp;
  if (command == "test-tone") return kTestToneHelp;
  if (command == "demo") return kDemoHelp;
  if (command == "plot") return kPlotHelp;
  return "";
}

int PrintHelp(const std::string& command) {
  const std::string text = HelpText(command);
  if (text.empty()) UsageError("", "unknown command '" + command + "'");
  std::fputs(text.c_str(), stdout);
  return kExitOk;
}
