#pragma once

// Journals written by hand, line by line as the program writes them, for the report's tests.
#include <string>

namespace fd::testing {

inline std::string HeaderLine(const std::string& kind, const std::string& scenario = "/shows/finale.txt",
                              const std::string& sha = "abc", const std::string& launch = "direct", int startMs = 0,
                              const std::string& extra = "") {
  return R"({"event":"header","wall":"2024-05-01T20:00:00.000Z","kind":")" + kind +
         R"(","program_version":"2.0.0.1","scenario":{"path":")" + scenario + R"(","sha256":")" + sha +
         R"("},"soundtrack":null,"launch_mode":")" + launch + R"(","start_ms":)" + std::to_string(startMs) +
         R"(,"consoles":[{"id":1,"firmware":"151","voltage":12.5,"link_quality":100},)" +
         R"({"id":2,"firmware":"268","voltage":12.4,"link_quality":90},{"id":240,"firmware":"105","voltage":0,"link_quality":-1}])" +
         R"(,"last_write":null,"last_verify":null)" + extra + "}\n";
}

inline std::string CueLine(const char* event, int line, int console, int channel, int plannedMs, int showMs) {
  return R"({"event":")" + std::string(event) + R"(","wall":"2024-05-01T20:00:01.000Z","line":)" +
         std::to_string(line) + R"(,"console":)" + std::to_string(console) + R"(,"channel":)" +
         std::to_string(channel) + R"(,"planned_ms":)" + std::to_string(plannedMs) + R"(,"show_ms":)" +
         std::to_string(showMs) + "}\n";
}

inline std::string StopLine(const char* source, int showMs) {
  return R"({"event":"stop","wall":"2024-05-01T20:00:05.000Z","source":")" + std::string(source) + R"(","show_ms":)" +
         std::to_string(showMs) + "}\n";
}

inline std::string CloseLine(int showMs, int sent) {
  return R"({"event":"close","wall":"2024-05-01T20:00:06.000Z","show_ms":)" + std::to_string(showMs) +
         R"(,"cues_sent":)" + std::to_string(sent) + "}\n";
}

// Any other event: its name, its wall time and the given fields.
inline std::string Event(const std::string& event, const std::string& fields = "", const std::string& wall = "w") {
  return R"({"event":")" + event + R"(","wall":")" + wall + "\"" + (fields.empty() ? "" : ",") + fields + "}\n";
}

// A direct show of four cues on two consoles, 4, 12, 60 and 0 ms late, that ran to its end.
inline std::string DirectShow() {
  return HeaderLine("show") + Event("mode", R"("mode":"launch")", "2024-05-01T20:00:00.001Z") +
         CueLine("cue_sent", 1, 1, 1, 1000, 1004) + CueLine("cue_sent", 2, 1, 2, 2000, 2012) +
         CueLine("cue_sent", 4, 2, 5, 3000, 3060) + CueLine("cue_sent", 5, 2, 6, 4000, 4000) +
         StopLine("end_of_scenario", 4000) + CloseLine(4000, 4);
}

}  // namespace fd::testing
