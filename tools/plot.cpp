// auralith plot IMPULSE OUTPUT.svg: the picture the Envelope page shows, as an SVG file — the
// impulse's waveform (both channels), and with --preset or the envelope options the envelope
// points and the decay marker over it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "impulse/impulse_loader.h"
#include "tools/cli.h"
#include "tools/commands.h"
#include "tools/options.h"
#include "tools/preset_io.h"
#include "tools/render.h"
#include "ui/controls/envelope_editor.h"
#include "ui/controls/waveform.h"
#include "ui/pages/page_text.h"

namespace {

const char kCommand[] = "plot";

// Plot geometry, in SVG user units (pixels).
constexpr int kLeft = 56;
constexpr int kRight = 16;
constexpr int kTop = 28;
constexpr int kBottom = 40;

struct Picture {
  int width;
  int height;
  NxWaveform waveform;
  double seconds;  // the impulse's length
  bool envelopeShown = false;
  bool envelopeApplied = false;
  std::vector<EnvelopePoint> points;  // time 0..1000, level 0..100
  LONG marker = 0;                    // 0..1000
  LONG decay = 0;                     // hundredths of a second
  std::string title;
};

std::string Fixed(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else if (c == '"')
      out += "&quot;";
    else
      out += c;
  }
  return out;
}

// A tick step of 1, 2 or 5 times a power of ten giving at most about eight ticks.
double TickStep(double span) {
  const double base = std::pow(10.0, std::floor(std::log10(std::max(span, 1e-6))));
  for (double m : {0.1, 0.2, 0.5, 1.0, 2.0, 5.0}) {
    if (span / (base * m) <= 8) return base * m;
  }
  return base * 10;
}

std::string Svg(const Picture& p) {
  const double plotW = p.width - kLeft - kRight;
  const double plotH = p.height - kTop - kBottom;
  auto x = [&](double thousandths) { return kLeft + thousandths / 1000.0 * plotW; };
  auto y = [&](double percent) { return kTop + (1.0 - percent / 100.0) * plotH; };
  std::string s;
  s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(p.width) +
       "\" height=\"" + std::to_string(p.height) + "\" viewBox=\"0 0 " + std::to_string(p.width) +
       " " + std::to_string(p.height) + "\" font-family=\"sans-serif\" font-size=\"11\">\n";
  s += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  s += "<rect x=\"" + std::to_string(kLeft) + "\" y=\"" + std::to_string(kTop) + "\" width=\"" +
       Fixed(plotW, 0) + "\" height=\"" + Fixed(plotH, 0) + "\" fill=\"#1d2430\"/>\n";
  s += "<text x=\"" + std::to_string(kLeft) + "\" y=\"18\" font-size=\"13\" fill=\"#222\">" +
       Escape(p.title) + "</text>\n";

  // Waveform: one band per channel (left above, right below), each column its lowest to highest
  // sample, scaled to the impulse's peak.
  float peak = 1.0f;
  for (DWORD ch = 0; ch < p.waveform.channels; ++ch) {
    for (const NxWaveColumn& c : p.waveform.columns[ch]) peak = std::max({peak, -c.low, c.high});
  }
  const char* colours[2] = {"#5fb3ff", "#ffb35f"};
  const double band = plotH / std::max<DWORD>(p.waveform.channels, 1);
  for (DWORD ch = 0; ch < p.waveform.channels; ++ch) {
    const double mid = kTop + band * (ch + 0.5);
    std::string path;
    const std::vector<NxWaveColumn>& cols = p.waveform.columns[ch];
    for (size_t c = 0; c < cols.size(); ++c) {
      const double cx = kLeft + (c + 0.5) * plotW / cols.size();
      const double top = mid - cols[c].high / peak * band * 0.48;
      const double bottom = std::max(mid - cols[c].low / peak * band * 0.48, top + 0.6);
      path += "M" + Fixed(cx, 1) + " " + Fixed(top, 1) + "V" + Fixed(bottom, 1);
    }
    if (p.waveform.channels == 2) {
      s += "<text x=\"" + Fixed(kLeft + plotW - 6, 1) + "\" y=\"" + Fixed(mid - band * 0.3, 1) +
           "\" text-anchor=\"end\" font-weight=\"bold\" style=\"fill:" + colours[ch] + "\">" +
           (ch == 0 ? "left" : "right") + "</text>\n";
    }
    s += std::string("<path d=\"") + path + "\" stroke=\"" + colours[ch] + "\" stroke-width=\"" +
         Fixed(std::max(plotW / std::max<size_t>(cols.size(), 1), 1.0), 2) +
         "\" stroke-opacity=\"" + (p.envelopeShown && !p.envelopeApplied ? "0.45" : "0.9") +
         "\"/>\n";
  }

  // Axes: time in seconds below, level in percent of gain at the left.
  const double step = TickStep(p.seconds);
  for (double t = 0; t <= p.seconds + 1e-9; t += step) {
    const double tx = x(p.seconds > 0 ? t / p.seconds * 1000.0 : 0);
    s += "<line x1=\"" + Fixed(tx, 1) + "\" y1=\"" + Fixed(kTop + plotH, 1) + "\" x2=\"" +
         Fixed(tx, 1) + "\" y2=\"" + Fixed(kTop + plotH + 4, 1) + "\" stroke=\"#444\"/>\n";
    s += "<text x=\"" + Fixed(tx, 1) + "\" y=\"" + Fixed(kTop + plotH + 16, 1) +
         "\" text-anchor=\"middle\" fill=\"#333\">" +
         Fixed(t, step < 1 ? (step < 0.1 ? 2 : 1) : 0) + "</text>\n";
  }
  s += "<text x=\"" + Fixed(kLeft + plotW / 2, 1) + "\" y=\"" + std::to_string(p.height - 6) +
       "\" text-anchor=\"middle\" fill=\"#333\">Time (seconds), length " + Fixed(p.seconds, 2) +
       " s</text>\n";
  if (p.envelopeShown) {
    for (int level = 0; level <= 100; level += 25) {
      s += "<text x=\"" + std::to_string(kLeft - 6) + "\" y=\"" + Fixed(y(level) + 4, 1) +
           "\" text-anchor=\"end\" fill=\"#333\">" + std::to_string(level) + " %</text>\n";
    }
    // The envelope: straight lines between the points, as preparation applies them.
    std::string line;
    for (const EnvelopePoint& pt : p.points) {
      line += (line.empty() ? "M" : "L") + Fixed(x(pt.position), 1) + " " + Fixed(y(pt.level), 1);
    }
    const char* ink = p.envelopeApplied ? "#7dff8a" : "#9aa3ad";
    s += std::string("<path d=\"") + line + "\" fill=\"none\" stroke=\"" + ink +
         "\" stroke-width=\"2\"" + (p.envelopeApplied ? "" : " stroke-dasharray=\"6 4\"") + "/>\n";
    for (const EnvelopePoint& pt : p.points) {
      s += "<rect x=\"" + Fixed(x(pt.position) - 3, 1) + "\" y=\"" + Fixed(y(pt.level) - 3, 1) +
           "\" width=\"6\" height=\"6\" fill=\"" + ink + "\"/>\n";
    }
    // The decay marker.
    const double mx = x(p.marker);
    s += "<line x1=\"" + Fixed(mx, 1) + "\" y1=\"" + std::to_string(kTop) + "\" x2=\"" +
         Fixed(mx, 1) + "\" y2=\"" + Fixed(kTop + plotH, 1) +
         "\" stroke=\"#ff5f6d\" stroke-width=\"2\" stroke-dasharray=\"4 3\"/>\n";
    s += "<text x=\"" + Fixed(std::min(mx + 4, kLeft + plotW - 4), 1) + "\" y=\"" +
         std::to_string(kTop + 14) + "\" text-anchor=\"" +
         (mx + 90 > kLeft + plotW ? "end" : "start") +
         "\" font-weight=\"bold\" style=\"fill:#ffd0d4\">decay " + Fixed(p.decay / 100.0, 2) +
         " s</text>\n";
  }
  s += "</svg>\n";
  return s;
}

}  // namespace

int RunPlot(const Args& rawArgs) {
  const ParsedArgs args = ParseArgs(
      kCommand, rawArgs,
      {{"preset", true}, {"envelope", true}, {"decay", true}, {"width", true}, {"height", true}});
  if (args.helpAsked) return PrintHelp(kCommand);
  RequirePositionals(kCommand, args, 2, 2, "IMPULSE and OUTPUT");
  const std::string& impulse = args.positionals[0];
  const std::string& output = args.positionals[1];
  Picture picture;
  picture.width = static_cast<int>(
      args.Has("width") ? ParseInteger(kCommand, "width", args.Get("width"), 200, 8000) : 900);
  picture.height = static_cast<int>(
      args.Has("height") ? ParseInteger(kCommand, "height", args.Get("height"), 120, 4000) : 320);

  ImpulseInfo info;
  const WideString name = Wide(impulse);
  if (!GetImpulseInfo(name.c_str(), &info, nullptr))
    FileError(impulse, "not a readable impulse or wave file");
  const DWORD frames = info.dataBytes / (info.channels * info.bytesPerSample);
  if (frames == 0) FileError(impulse, "holds no samples");
  std::vector<float> first(frames), second(frames);
  const bool stereo = info.channels >= 2;
  const int loaded =
      LoadImpulse(name.c_str(), first.data(), stereo ? second.data() : nullptr, frames, 0);
  if (loaded <= 0) FileError(impulse, "its samples cannot be read");
  picture.waveform =
      NxReduceWaveform(first.data(), stereo ? second.data() : nullptr, static_cast<DWORD>(loaded),
                       static_cast<DWORD>(picture.width - kLeft - kRight));
  picture.seconds = static_cast<double>(frames) / info.sampleRate;
  picture.title = impulse;

  // The envelope and decay limit: the preset's, then the options'.
  PlugInHandle plugin;
  PlugInParams params;
  plugin->GetParams(&params);
  if (args.Has("preset")) {
    const std::string& preset = args.Get("preset");
    LoadPresetRecord(plugin.Get(), preset, ReadPresetHead(preset));
    plugin->GetParams(&params);
    picture.envelopeShown = true;
    picture.envelopeApplied = params.applyEnvelope != 0;
  }
  std::vector<EnvelopePoint> points(
      params.envelopePoints, params.envelopePoints + std::clamp<LONG>(params.envelopeCount, 2, 16));
  if (args.Has("envelope")) {
    points = ParseEnvelope(kCommand, "envelope", args.Get("envelope"));
    picture.envelopeShown = picture.envelopeApplied = true;
  }
  LONG decay = params.decayLimit;
  if (args.Has("decay")) {
    decay = ToHundredths(ParseNumber(kCommand, "decay", args.Get("decay"), 0.01, 12.0));
    picture.envelopeShown = picture.envelopeApplied = true;
  }
  // The editor's own rules: 2 to 16 points, from 0 to the end, strictly later one by one.
  NxEnvelopeEditor editor;
  editor.SetPoints(points.data(), static_cast<LONG>(points.size()));
  picture.points = editor.Points();
  picture.decay = std::clamp<LONG>(decay, 1, 1200);
  picture.marker = NxDecayToMarker(picture.decay, frames, info.sampleRate);

  const std::string svg = Svg(picture);
  std::FILE* file = std::fopen(output.c_str(), "wb");
  if (file == nullptr) FileError(output, "cannot be created");
  const bool written = std::fwrite(svg.data(), 1, svg.size(), file) == svg.size();
  if (std::fclose(file) != 0 || !written) FileError(output, "write failed");
  std::printf("%s: %s, %.2f s, %u channel%s%s\n", output.c_str(), impulse.c_str(), picture.seconds,
              static_cast<unsigned>(info.channels), info.channels == 1 ? "" : "s",
              picture.envelopeShown ? ", envelope and decay marker" : "");
  return kExitOk;
}
