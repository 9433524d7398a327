#include "show/sample_show.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>

namespace fd::show {

namespace {

// Comments in both encodings: the file carries Windows-1251, the loaded cue UTF-8.
struct Comment {
  const char* cp1251;
  const char* utf8;
};
constexpr Comment kOpening{"\xCE\xF2\xEA\xF0\xFB\xF2\xE8\xE5", "Открытие"};
constexpr Comment kWave{"\xC2\xEE\xEB\xED\xE0", "Волна"};
constexpr Comment kMotor{"\xCC\xEE\xF2\xEE\xF0", "Мотор"};
constexpr Comment kBurst{"\xC7\xE0\xEB\xEF", "Залп"};
constexpr Comment kFinale{"\xD4\xE8\xED\xE0\xEB", "Финал"};

struct Row {
  int32_t timeMs;
  int console;
  const char* field;  // a channel number, or a motion command
  const Comment* comment;
};

// The default bench: console 1 (147) has channel 3 open, console 3 (164) a broken channel 5,
// console 5 (268, four channels) channel 2 open, console 7 is the motor console. Each channel is
// used once, because the oldest generation keeps a single time per channel; the motor console
// keeps a motion in three of its eight cells, so it gets two.
constexpr Row kRows[] = {
    {2000, 1, "1", &kOpening},         {3000, 2, "1", &kOpening},  {4000, 3, "1", &kOpening}, {5000, 4, "1", &kOpening},
    {6000, 6, "1", &kOpening},         {7000, 5, "1", &kOpening},  {11000, 1, "2", &kWave},   {11500, 2, "2", &kWave},
    {12000, 3, "2", &kWave},           {12500, 4, "2", &kWave},    {13000, 6, "2", &kWave},   {13500, 5, "3", &kWave},
    {16000, 7, "#LT#2.5#80", &kMotor}, {19000, 1, "4", &kWave},    {20000, 2, "3", &kWave},   {21000, 3, "3", &kWave},
    {22000, 4, "3", &kWave},           {23000, 6, "3", &kWave},    {30000, 1, "5", &kBurst},  {30000, 2, "4", &kBurst},
    {30000, 3, "4", &kBurst},          {30000, 4, "4", &kBurst},   {30000, 6, "4", &kBurst},  {30000, 5, "4", &kBurst},
    {34000, 7, "#RT#1.5#60", &kMotor}, {37000, 1, "6", &kWave},    {38500, 3, "6", &kWave},   {40000, 4, "5", &kWave},
    {41500, 2, "5", &kWave},           {43000, 6, "5", &kWave},    {47000, 4, "6", &kWave},   {48000, 6, "6", &kWave},
    {52000, 1, "7", &kFinale},         {52000, 2, "6", &kFinale},  {52000, 3, "7", &kFinale}, {52000, 4, "7", &kFinale},
    {52000, 6, "7", &kFinale},         {55000, 2, "16", &kFinale},
};

// "0:00:07.0": hours, minutes, seconds and tenths, as operators write them.
std::string TimeText(int32_t ms) {
  const int32_t seconds = ms / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "0:%02d:%02d.%d", seconds / 60, seconds % 60, (ms % 1000) / 100);
  return text;
}

// What the loader makes of a row; motions follow the file format's defaults and level rule
// (a percentage p is stored as p x 255 / 100).
devices::CueRecord CueOf(const Row& row, int line) {
  devices::CueRecord cue;
  cue.TimeText = TimeText(row.timeMs);
  cue.TimeMs = row.timeMs;
  cue.Console = row.console;
  cue.Comment = row.comment->utf8;
  cue.Line = line;
  const std::string field = row.field;
  if (field == "#LT#2.5#80") {
    cue.CueKind = devices::MotionLT;
    cue.Param1 = 25;
    cue.Param2 = 80 * 255 / 100;
  } else if (field == "#RT#1.5#60") {
    cue.CueKind = devices::MotionRT;
    cue.Param1 = 15;
    cue.Param2 = 60 * 255 / 100;
  } else {
    cue.Channel = std::stoi(field) - 1;
  }
  return cue;
}

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

SampleShow MakeSampleShow() {
  SampleShow show;
  int line = 0;
  for (const Row& row : kRows) {
    show.Cues.push_back(CueOf(row, ++line));
    show.FieldTexts.emplace_back(row.field);
    show.CommentBytes.emplace_back(row.comment->cp1251);
    show.LengthMs = row.timeMs;
  }
  return show;
}

std::string SampleScenarioBytes(const SampleShow& show) {
  std::string out;
  for (size_t i = 0; i < show.Cues.size(); ++i) {
    const devices::CueRecord& cue = show.Cues[i];
    out += cue.TimeText + "\t" + std::to_string(cue.Console) + "\t" + show.FieldTexts[i] + "\t" + show.CommentBytes[i] +
           "\r\n";
  }
  return out;
}

std::string ToneWavBytes(int32_t lengthMs, int sampleRate, double frequencyHz) {
  const uint32_t frames =
      static_cast<uint32_t>(static_cast<int64_t>(sampleRate) * (lengthMs < 0 ? 0 : lengthMs) / 1000);
  const uint32_t dataBytes = frames * 2;
  std::string out;
  out.reserve(44 + dataBytes);
  out += "RIFF";
  PutLe(out, 36 + dataBytes, 4);
  out += "WAVEfmt ";
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);  // PCM
  PutLe(out, 1, 2);  // mono
  PutLe(out, static_cast<uint32_t>(sampleRate), 4);
  PutLe(out, static_cast<uint32_t>(sampleRate) * 2, 4);
  PutLe(out, 2, 2);
  PutLe(out, 16, 2);
  out += "data";
  PutLe(out, dataBytes, 4);
  // A quarter of full scale: audible, never loud.
  const double step = 2.0 * std::numbers::pi * frequencyHz / sampleRate;
  for (uint32_t i = 0; i < frames; ++i) {
    const auto sample = static_cast<int16_t>(std::lround(8191.0 * std::sin(step * i)));
    PutLe(out, static_cast<uint16_t>(sample), 2);
  }
  return out;
}

namespace {

bool WriteFile(const std::string& path, const std::string& bytes, std::string& error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (file) return true;
  error = "could not write " + path;
  return false;
}

}  // namespace

bool WriteSampleShow(const SampleShow& show, const std::string& folder, SampleShowFiles& files, std::string& error) {
  const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  files.ScenarioPath = base + "demo-show.txt";
  files.SoundtrackPath = base + "demo-show.wav";
  return WriteFile(files.ScenarioPath, SampleScenarioBytes(show), error) &&
         WriteFile(files.SoundtrackPath, ToneWavBytes(show.LengthMs + kSampleSoundtrackTailMs), error);
}

}  // namespace fd::show
