// auralith info FILE [--json]: what the impulse loader sees in an impulse or wave file.
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "frame/audio_transform.h"
#include "frame/impulse_file_source.h"
#include "impulse/display_list.h"
#include "impulse/impulse_loader.h"
#include "impulse/settings.h"
#include "impulse/summary.h"
#include "platform/codepage.h"
#include "tools/cli.h"
#include "tools/commands.h"
#include "tools/impulse_plan.h"
#include "tools/json.h"
#include "tools/options.h"

namespace {

const char kCommand[] = "info";
constexpr DWORD kTextUnits = 520;

struct FileFacts {
  ImpulseInfo info = {};
  bool described = false;
  bool isWave = false;
  std::string kind;
  std::string attributes;  // "44,100 Hz, 2 Channels, 1.50 Seconds"
  std::string sourceName;
  bool sourceIsSelf = true;
  std::vector<std::pair<std::string, std::string>> items;  // INFO id, text
  std::string displayText;
  unsigned long displayBitmapBytes = 0;
};

std::string FourCCText(DWORD id) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>(id >> (8 * i));
    text += c >= 0x20 && c < 0x7F ? c : '?';
  }
  return text;
}

// Every item of the file's INFO list, in file order.
void ReadInfoItems(NxFileHandle file, FileFacts* facts) {
  DWORD body = 0;
  DWORD listBytes = 0;
  if (!file->Seek(0, NxSeekOrigin::Begin, nullptr) || riff_ReadFileID(file, &body, nullptr) != 0 ||
      riff_FindListChunk(file, kInfoListType, &listBytes, &body) != 0 || listBytes == 0)
    return;
  NxSummary summary = {};
  if (NxSummary_Load(file, &summary, listBytes) == 0) {
    for (DWORD i = 0; i < summary.count; ++i)
      facts->items.emplace_back(FourCCText(summary.items[i].id), Narrow(summary.items[i].text));
  }
  NxSummary_Free(&summary);
}

// The text item as ANSI text, and the size of the bitmap item.
void ReadDisplayItems(NxFileHandle file, FileFacts* facts) {
  NxDisplayList list = {};
  if (displist_Create(&list, kImpulseDisplayFormats, 2) != 0) return;
  if (file->Seek(0, NxSeekOrigin::Begin, nullptr)) displist_Load(file, &list);
  const NxDisplayItem* text = displist_GetItem(&list, kDisplayFormatText);
  if (text != nullptr && text->size != 0) {
    DWORD bytes = 0;
    while (bytes < text->size && text->data[bytes] != 0) ++bytes;
    std::vector<WCHAR> wide(bytes + 1, 0);
    const int units = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(text->data),
                                          static_cast<int>(bytes), wide.data(), static_cast<int>(bytes));
    wide[units > 0 ? units : 0] = 0;
    facts->displayText = Narrow(wide.data());
  }
  const NxDisplayItem* bitmap = displist_GetItem(&list, kDisplayFormatBitmap);
  if (bitmap != nullptr) facts->displayBitmapBytes = bitmap->size;
  displist_Free(&list);
}

// What each quality keeps of the impulse on a stream at the impulse's own rate: one row per
// quality for a stereo input, and one for a mono input where that plan differs.
struct QualityRow {
  LONG quality;
  bool monoInput;
  PlannedImpulse planned;
};

std::vector<QualityRow> QualityRows(const std::string& path) {
  std::vector<QualityRow> rows;
  ImpulseSourceInfo info = {};
  if (!FileImpulseSource()->GetInfo(Wide(path).c_str(), &info)) return rows;
  const StreamShape stereo = {2, info.sampleRate, 32};
  const StreamShape mono = {1, info.sampleRate, 32};
  PlugInParams params = DefaultPlugInParams();
  for (LONG quality = 1; quality <= 5; ++quality) {
    params.quality = quality;
    QualityRow row = {quality, false, {}};
    if (!PlanImpulseFile(path, params, stereo, stereo, &row.planned)) return {};
    rows.push_back(row);
    QualityRow monoRow = {quality, true, {}};
    if (PlanImpulseFile(path, params, mono, mono, &monoRow.planned) &&
        (monoRow.planned.plan.keptSamples != row.planned.plan.keptSamples ||
         monoRow.planned.plan.latencyFrames != row.planned.plan.latencyFrames))
      rows.push_back(monoRow);
  }
  return rows;
}

// Why a row keeps less than the file: "quality", "MaxImpulseSize" or "" when it keeps it whole.
const char* CutReason(const ImpulsePlan& plan) {
  return plan.cutByQuality ? "quality" : plan.cutByMaxFrames ? "MaxImpulseSize" : "";
}

std::string SecondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", seconds);
  return text;
}

// The stream runs at the impulse's rate.
double LatencySeconds(const PlannedImpulse& planned) {
  return double(planned.plan.latencyFrames) / planned.info.sampleRate;
}

FileFacts Inspect(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::u8path(path), error)) FileError(path, "no such file");
  const WideString name = Wide(path);
  FileFacts facts;
  if (!IsImpulseFile(name.c_str(), &facts.isWave)) FileError(path, "not an impulse or wave file");
  facts.described = GetImpulseInfo(name.c_str(), &facts.info, &facts.isWave);
  WCHAR text[kTextUnits];
  GetImpulseInfoText(name.c_str(), text, kTextUnits);
  facts.attributes = Narrow(text);
  if (GetImpulseSourceName(name.c_str(), text, kTextUnits, &facts.sourceIsSelf) >= 0)
    facts.sourceName = Narrow(text);
  facts.kind = facts.isWave           ? "wave file"
               : facts.sourceIsSelf   ? "impulse file with its samples inside"
                                      : "impulse file referring to a wave file";
  NxFileHandle file = NxOpenFile(name.c_str(), NxFileAccess::Read, NxFileCreate::OpenExisting);
  if (file == nullptr) FileError(path, "cannot be opened");
  ReadInfoItems(file, &facts);
  ReadDisplayItems(file, &facts);
  NxCloseFile(file);
  return facts;
}

void PrintJson(const std::string& path, const FileFacts& facts) {
  JsonWriter json;
  json.BeginObject();
  json.String("file", path);
  json.String("kind", facts.kind);
  json.Bool("described", facts.described);
  json.BeginObject("description");
  json.Integer("headerSize", facts.info.headerSize);
  json.Integer("version", facts.info.version);
  json.Integer("channels", facts.info.channels);
  json.Integer("bytesPerSample", facts.info.bytesPerSample);
  json.Integer("dataBytes", facts.info.dataBytes);
  json.Integer("sampleRate", facts.info.sampleRate);
  json.EndObject();
  json.String("attributes", facts.attributes);
  json.String("sampleSource", facts.sourceName);
  json.Bool("sampleSourceIsSelf", facts.sourceIsSelf);
  json.BeginArray("info");
  for (const auto& item : facts.items) {
    json.BeginObject();
    json.String("id", item.first);
    json.String("text", item.second);
    json.EndObject();
  }
  json.EndArray();
  json.BeginObject("display");
  json.String("text", facts.displayText);
  json.Integer("bitmapBytes", facts.displayBitmapBytes);
  json.EndObject();
  json.Integer("maxImpulseSize", NxSettings_GetInt(kNxMaxImpulseSize));
  json.BeginArray("qualities");
  for (const QualityRow& row : QualityRows(path)) {
    const ImpulsePlan& plan = row.planned.plan;
    json.BeginObject();
    json.Integer("quality", row.quality);
    json.String("input", row.monoInput ? "mono" : "stereo");
    json.Integer("processingRate", plan.processingRate);
    json.Integer("keptSamples", plan.keptSamples);
    json.Number("keptSeconds", KeptSeconds(plan));
    json.Number("fileSeconds", FileSeconds(row.planned));
    json.String("cutBy", CutReason(plan));
    json.Integer("latencyFrames", plan.latencyFrames);
    json.Number("latencySeconds", LatencySeconds(row.planned));
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  std::fputs(json.Text().c_str(), stdout);
}

void PrintText(const std::string& path, const FileFacts& facts) {
  std::printf("%s: %s\n", path.c_str(), facts.kind.c_str());
  if (facts.described) {
    std::printf("  header size       %lu\n  version           %lu\n  channels          %lu\n",
                static_cast<unsigned long>(facts.info.headerSize),
                static_cast<unsigned long>(facts.info.version),
                static_cast<unsigned long>(facts.info.channels));
    std::printf("  bytes per sample  %lu\n  data bytes        %lu\n  sample rate       %lu\n",
                static_cast<unsigned long>(facts.info.bytesPerSample),
                static_cast<unsigned long>(facts.info.dataBytes),
                static_cast<unsigned long>(facts.info.sampleRate));
  } else {
    std::printf("  (the loader cannot describe it: it would not be used as an impulse)\n");
  }
  std::printf("  attributes        %s\n", facts.attributes.c_str());
  std::printf("  sample source     %s\n", facts.sourceName.c_str());
  for (const auto& item : facts.items) std::printf("  %s              %s\n", item.first.c_str(), item.second.c_str());
  if (!facts.displayText.empty()) std::printf("  display text      %s\n", facts.displayText.c_str());
  if (facts.displayBitmapBytes != 0) std::printf("  display bitmap    %lu bytes\n", facts.displayBitmapBytes);
  const std::vector<QualityRow> rows = QualityRows(path);
  if (rows.empty()) return;
  std::printf("  kept per quality, on a stream at %lu Hz (MaxImpulseSize %d frames):\n",
              static_cast<unsigned long>(rows[0].planned.info.sampleRate),
              NxSettings_GetInt(kNxMaxImpulseSize));
  std::printf("    quality  processing rate  impulse kept  block latency  cut by\n");
  for (const QualityRow& row : rows) {
    const ImpulsePlan& plan = row.planned.plan;
    std::printf("    %-7s  %-15s  %-12s  %-13s  %s\n",
                (std::to_string(row.quality) + (row.monoInput ? " mono" : "")).c_str(),
                (std::to_string(plan.processingRate) + " Hz").c_str(),
                SecondsText(KeptSeconds(plan)).c_str(), SecondsText(LatencySeconds(row.planned)).c_str(),
                CutReason(plan)[0] != 0 ? CutReason(plan) : "-");
  }
  if (rows.size() > 5) std::printf("    (mono: with a mono input)\n");
}

}  // namespace

int RunInfo(const Args& rawArgs) {
  const ParsedArgs args = ParseArgs(kCommand, rawArgs, {{"json", false}});
  if (args.helpAsked) return PrintHelp(kCommand);
  RequirePositionals(kCommand, args, 1, 1, "FILE");
  const FileFacts facts = Inspect(args.positionals[0]);
  if (args.Has("json")) PrintJson(args.positionals[0], facts);
  else PrintText(args.positionals[0], facts);
  return kExitOk;
}
