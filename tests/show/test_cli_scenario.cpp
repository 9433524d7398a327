// firnadesk-cli check, write, verify and test, run as the operator runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli_run.h"
#include "scenario_files.h"

namespace fd::show {
namespace {

using Outcome = fd::testing::CliOutcome;
using fd::testing::Slurp;

class CliTest : public ::testing::Test {
 protected:
  Outcome Run(const std::string& arguments) { return fd::testing::RunCli(FIRNADESK_CLI, folder.Path(""), arguments); }
  // Quoted for the shell; appended in place (GCC 12 at -O3 takes "'" + temporary for an overlap).
  std::string Scenario(const std::string& bytes) {
    std::string quoted(1, '\'');
    quoted += folder.Write("show.txt", bytes);
    quoted += '\'';
    return quoted;
  }

  testing::ScenarioFolder folder;
};

// "Финал" in Windows-1251.
const std::string kGood =
    "1\t3\t12\t\xd4\xe8\xed\xe0\xeb\n"
    "0:01:30.5 4 2 second\r\n"
    "\n"
    "1:05 7 #LT#2.5#80\n";

TEST_F(CliTest, CheckReportsTheScenario) {
  Outcome o = Run("check " + Scenario(kGood));
  EXPECT_EQ(o.exitCode, 0) << o.err;
  EXPECT_NE(o.out.find("Cues: 3 (channel cues 2, motion cues 1)"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("Time span: 0:00:01.000 .. 0:01:30.500"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("console 3: 1 channel cue(s) on channel(s) 12"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("console 7: 1 motion cue(s)"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("Warnings: none"), std::string::npos) << o.out;
}

TEST_F(CliTest, CheckNamesTheWarnings) {
  Outcome o = Run("check " + Scenario("1.005 3 12\n2 3 600\n2 3 600\n7000 250 1\n"));
  EXPECT_EQ(o.exitCode, 0) << o.err;
  for (const char* code :
       {"[time-10ms]", "[time-2ms]", "[channel-range]", "[duplicate]", "[console-range]", "[time-late]"})
    EXPECT_NE(o.out.find(code), std::string::npos) << code << "\n" << o.out;
  EXPECT_NE(o.out.find("1.005 (0:00:01.005) console 3 channel 12"), std::string::npos) << o.out;
}

TEST_F(CliTest, CheckOfABadFileNamesItsLineAndFails) {
  Outcome o = Run("check " + Scenario("1 1 1\n\n2 2 2\n00:00:10 1 x\n"));
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_NE(o.err.find("Ошибка загрузки сценария (строка: 4)."), std::string::npos) << o.err;
  EXPECT_EQ(o.out, "");

  Outcome json = Run("check --json " + Scenario("1 1\n"));
  EXPECT_EQ(json.exitCode, 1);
  EXPECT_NE(json.out.find("\"loaded\": false"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"line\": 1"), std::string::npos) << json.out;

  // A file that cannot be read is an input problem (2), not a scenario fault (1).
  Outcome missing = Run("check '" + folder.Path("missing.txt") + "'");
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.err.find("File not found"), std::string::npos) << missing.err;

  EXPECT_EQ(Run("check").exitCode, 2);
  EXPECT_EQ(Run("check a.txt b.txt").exitCode, 2);
  EXPECT_EQ(Run("check a.txt --frobnicate").exitCode, 2);
}

TEST_F(CliTest, CheckJsonListsEveryCueAsLoaded) {
  Outcome o = Run("check --json " + Scenario(kGood));
  EXPECT_EQ(o.exitCode, 0) << o.err;
  EXPECT_NE(o.out.find("\"cue_count\": 3"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find(
                "{\"index\": 0, \"line\": 1, \"time_text\": \"1\", \"time_ms\": 1000, \"console\": 3, \"channel\": 12, "
                "\"kind\": 0, \"kind_name\": \"channel\", \"param1\": null, \"param2\": null, "
                "\"comment\": \"Финал\"}"),
            std::string::npos)
      << o.out;
  EXPECT_NE(
      o.out.find(
          "\"line\": 4, \"time_text\": \"1:05\", \"time_ms\": 65000, \"console\": 7, \"channel\": null, \"kind\": 53, "
          "\"kind_name\": \"LT\", \"param1\": 25, \"param2\": 204"),
      std::string::npos)
      << o.out;
  EXPECT_EQ(o.out.find("\"bus\""), std::string::npos) << "no bus without --simulate or --port";
}

TEST_F(CliTest, CheckOnTheBenchAddsThePreflightChecks) {
  // The default bench has consoles 1..7; 50 is not there and console 4 gets a cue at time 0.
  Outcome o = Run("check " + Scenario("1 3 12\n2 50 1\n0 4 1\n3 7 #C\n") + " --simulate");
  EXPECT_EQ(o.exitCode, 0) << o.err;
  EXPECT_NE(o.out.find("consoles found: 7"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("unconnected consoles: В сценарии обнаружены неподключенные пульты... 50"), std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("scenario times: Сценарий может быть воспроизведен некорректно... 4"), std::string::npos)
      << o.out;

  Outcome json = Run("check --json --simulate " + Scenario("1 3 12\n"));
  EXPECT_EQ(json.exitCode, 0) << json.err;
  EXPECT_NE(json.out.find("\"simulated\": true"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("{\"id\": 7, \"version\": \"168\", \"motor\": true}"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"unconnected\": {\"passed\": true"), std::string::npos) << json.out;
}

TEST_F(CliTest, WriteThenVerifyOnTheBench) {
  const std::string scenario = Scenario("1 1 1\n2 2 3\n3 4 5\n4 7 #LT#2.5#80\n5 6 2\n6 5 4\n");
  Outcome written = Run("write " + scenario + " --simulate --verify");
  EXPECT_EQ(written.exitCode, 0) << written.err;
  EXPECT_EQ(written.out, "write: OK\nverify: OK\n");

  Outcome alone = Run("write " + scenario + " --simulate");
  EXPECT_EQ(alone.exitCode, 0) << alone.err;
  EXPECT_EQ(alone.out, "OK\n");

  // A new process has a new bench whose memory holds nothing of the write above.
  Outcome fresh = Run("verify " + scenario + " --simulate");
  EXPECT_EQ(fresh.exitCode, 1);
  EXPECT_EQ(fresh.out, "Несовпадение сценария в пультах.\n");
}

TEST_F(CliTest, WriteReportsWhatTheConsolesCannotHold) {
  // Console 4 (firmware 168) stores 2 ms steps: the odd millisecond comes back different.
  Outcome odd = Run("write " + Scenario("3.005 4 5\n") + " --simulate --verify");
  EXPECT_EQ(odd.exitCode, 1);
  EXPECT_EQ(odd.out, "write: OK\nverify: Несовпадение сценария в пультах.\n");

  // A motor console below 165 cannot take motion cues.
  const std::string bench = folder.Write("old.bench", "converters 1\nconsole 9 version 150 letter P channels 8\n");
  Outcome motor = Run("write " + Scenario("1 9 #C\n") + " --simulate='" + bench + "'");
  EXPECT_EQ(motor.exitCode, 1);
  EXPECT_NE(motor.out.find("code -10"), std::string::npos) << motor.out;
}

TEST_F(CliTest, CheckWarnsAboutWhatTheFoundConsolesLack) {
  // On the default bench console 1 has 16 channels (firmware 147: one cell per channel), console 4
  // has 32 channels and as many records (firmware 168).
  std::string full;
  for (int channel = 1; channel <= 32; ++channel)
    full += std::to_string(channel) + " 4 " + std::to_string(channel) + "\n";
  struct Case {
    std::string scenario;
    std::string options;
    std::string expected;  // empty: neither warning
  } cases[] = {
      {"1 1 17\n2 1 16\n", "--simulate",
       "[channel-beyond-console] 1 cue(s): channel beyond the console's channel count\n    line 1: 1 (0:00:01.000) "
       "console 1 "
       "channel 17"},
      {full + "40 4 1\n", "--simulate",
       "[more-cues-than-records] 1 cue(s): more cues for a console than it has records (console 4: 33 cues, 32 "
       "records)\n    line 33: 40 (0:00:40.000) console 4 channel 1"},
      {full, "--simulate", ""},
      {"1 1 17\n", "", ""},  // without a bus the consoles are not known
  };
  for (const Case& c : cases) {
    Outcome o = Run("check " + Scenario(c.scenario) + " " + c.options);
    EXPECT_EQ(o.exitCode, 0) << o.err;
    if (c.expected.empty()) {
      EXPECT_EQ(o.out.find("channel-beyond-console"), std::string::npos) << o.out;
      EXPECT_EQ(o.out.find("more-cues-than-records"), std::string::npos) << o.out;
    } else {
      EXPECT_NE(o.out.find(c.expected), std::string::npos) << o.out;
    }
  }
}

TEST_F(CliTest, AScenarioTheConsolesCannotHoldIsRefusedByItsLinesWithNothingWritten) {
  // Console 7 of the default bench is a motor console, console 2 a standard one: a duration of
  // 300 tenths and channel 600 fit no record. Console 50 is not there: its cue is nobody's fault.
  const std::string scenario = Scenario("1 1 1\n2 7 #LT#30#50\n\n0:03 2 600\n4 50 900\n");
  const std::string listing =
      "  line 2: 2 (2000 ms) console 7 motion 53 300 127: motion parameters 300, 127 outside 0..255\n"
      "  line 4: 0:03 (3000 ms) console 2 channel 600: channel 600 outside 0..511\n";
  const std::string leftOut = "left out, not found on the bus: console 50\n";
  const std::string fault = "Ошибка сценария (строка: 2). Длительность 30,0 с вне диапазона 0..25,5 с.\n";
  Outcome written = Run("write " + scenario + " --simulate --verify --allow-missing");
  EXPECT_EQ(written.exitCode, 1);
  EXPECT_EQ(written.out, fault + listing + "record frames sent: 0\n" + leftOut);

  Outcome verified = Run("verify " + scenario + " --simulate --allow-missing");
  EXPECT_EQ(verified.exitCode, 1);
  EXPECT_EQ(verified.out, fault + listing + leftOut);

  // check names the same lines, with the bus and (by their own warnings) without it.
  Outcome checked = Run("check " + scenario + " --simulate");
  EXPECT_EQ(checked.exitCode, 0) << checked.err;
  EXPECT_NE(checked.out.find("[unfit] 2 cue(s): cues the consoles' memory records cannot hold: write and verify "
                             "refuse the scenario (Ошибка сценария (строка: 2). lines 2, 4)"),
            std::string::npos)
      << checked.out;
  EXPECT_NE(checked.out.find("    line 2: 2 (0:00:02.000) console 7 #LT 300 127\n"), std::string::npos) << checked.out;
  EXPECT_NE(checked.out.find("    line 4: 0:03 (0:00:03.000) console 2 channel 600\n"), std::string::npos)
      << checked.out;
  Outcome offline = Run("check " + scenario);
  EXPECT_NE(offline.out.find("[motion-parameter] 1 cue(s)"), std::string::npos) << offline.out;
  EXPECT_NE(offline.out.find("    line 2: 2 (0:00:02.000) console 7 #LT 300 127\n"), std::string::npos) << offline.out;
  EXPECT_EQ(offline.out.find("[unfit]"), std::string::npos) << "without a bus nobody knows the consoles";
}

TEST_F(CliTest, AConsoleTheScenarioNamesThatIsNotOnTheBusFailsUnlessAllowed) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  // The default bench has consoles 1..7: console 9 is not there.
  const std::string show = Scenario("1 1 1\n1.5 9 2\n");
  struct Case {
    std::string arguments;
    int exitCode;
    std::string error;  // in standard error
    std::string out;    // in standard output; empty: nothing there
  } cases[] = {
      {"write " + show + " --simulate", 1, "the scenario names console 9, not found on Virtual RS485 bench", ""},
      {"verify " + show + " --simulate", 1,
       "console 9, not found on Virtual RS485 bench (default bench): nothing was verified", ""},
      {"rehearse " + show + " --simulate --autonomous", 1, "nothing was written, the show did not start", ""},
      {"write " + show + " --simulate --verify --allow-missing", 0, "неподключенные пульты... 9",
       "write: OK\nverify: OK\nleft out, not found on the bus: console 9\n"},
      // The show goes on without console 9, whose cue the bench cannot fire.
      {"rehearse " + show + " --simulate --autonomous --allow-missing --json", 1, "неподключенные пульты... 9",
       "\"consoles_left_out\": [9]"},
      {"rehearse " + show + " --simulate --allow-missing", 2, "--allow-missing goes with --autonomous", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    Outcome o = Run(c.arguments);
    EXPECT_EQ(o.exitCode, c.exitCode) << o.err;
    EXPECT_NE(o.err.find(c.error), std::string::npos) << o.err;
    if (c.out.empty()) {
      EXPECT_EQ(o.out, "");
    } else {
      EXPECT_NE(o.out.find(c.out), std::string::npos) << o.out;
    }
  }
}

TEST_F(CliTest, OptionSlipsAreUsageErrors) {
  const std::string show = Scenario("1 1 1\n");
  struct Case {
    std::string arguments;
    std::string error;
  } cases[] = {
      // An empty value given as its own argument, as "--from=" is.
      {"write " + show + " --port ''", "--port needs a device path"},
      {"test --simulate --scenario ''", "--scenario needs a scenario file"},
      {"rehearse " + show + " --simulate --from ''", "--from needs a time"},
      {"rehearse " + show + " --simulate --soundtrack ''", "--soundtrack needs a sound file"},
      // A flag given a value: "--json=0" would read as on.
      {"scan --simulate --json=0", "--json takes no value"},
      {"write " + show + " --simulate --full-search=0", "--full-search takes no value"},
      {"rehearse " + show + " --simulate --autonomous=1", "--autonomous takes no value"},
      // An option given twice.
      {"write " + show + " --port /dev/a --port /dev/b", "--port given twice"},
      {"scan --simulate=a.bench --simulate", "--simulate given twice"},
      {"test --simulate --console 1 --console 2", "--console given twice"},
      {"check " + show + " --json --json", "--json given twice"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    Outcome o = Run(c.arguments);
    EXPECT_EQ(o.exitCode, 2) << o.err;
    EXPECT_NE(o.err.find(c.error), std::string::npos) << o.err;
    EXPECT_EQ(o.out, "");
  }
}

TEST_F(CliTest, WriteAndVerifyNeedABusAndALoadableFile) {
  EXPECT_EQ(Run("write " + Scenario("1 1 1\n")).exitCode, 2) << "no silent write to whatever converter is plugged in";
  EXPECT_EQ(Run("verify").exitCode, 2);
  Outcome bad = Run("write " + Scenario("1 1 1\n1 1\n") + " --simulate");
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.err.find("(строка: 2)"), std::string::npos) << bad.err;
  EXPECT_EQ(bad.out, "");
}

TEST_F(CliTest, ChannelTestShowsTheGridAndFailsOnlyForChannelsTheScenarioNeeds) {
  // On the default bench console 1 has channel 3 open, console 3 has channel 5 broken.
  struct Case {
    const char* name;
    std::string scenario;  // empty: no --scenario
    std::string options;
    int exitCode;
    std::vector<std::string> expected;  // in the report
    std::vector<std::string> absent;
  } cases[] = {
      {"every console, no scenario",
       "",
       "",
       0,
       {"Legend: + connected (Подключен), o not connected (Не подключен), x failed (Ошибка), ? unknown",
        "Console 1 (firmware 147, 16 channels)\n    1-16  +  +  o  +  +",
        "Console 3 (firmware 164, 16 channels)\n    1-16  +  +  +  +  x  +",
        "Console 4 (firmware 168, 32 channels)\n    1-16  +  +  +  +  +  +  +  +  +  +  +  +  +  +  +  +\n   17-32  +",
        "Console 5 (firmware 268, 4 channels)\n    1-4   +      o      +      +\n          10.0   50.0   10.0   "
        "10.0\n"},
       {}},
      {"a scenario on the open channel",
       "1 1 3\n2 2 1\n",
       "",
       1,
       {"    1-16  +  +  o* +  +", "    1-16  +* +  +",
        "Console 1 channel 3 is used by the scenario and not connected.\n"},
       {"Console 3 ("}},
      {"a scenario on the broken channel",
       "1 3 5\n",
       "",
       1,
       {"    1-16  +  +  +  +  x* +", "Console 3 channel 5 is used by the scenario and failed.\n"},
       {}},
      {"a scenario on good channels beside the faulty ones",
       "1 1 4\n2 3 6\n3 5 1\n",
       "",
       0,
       {"    1-16  +  +  o  +* +", "    1-16  +  +  +  +  x  +* +", "Every channel the scenario fires is connected.\n"},
       {"is used by the scenario and"}},
      {"the full sweep with a scenario tests every console",
       "1 1 4\n",
       "--full-search",
       0,
       {"Console 7 (firmware 168, 8 channels)"},
       {}},
      {"one console", "", "--console 3", 0, {"Console 3 (firmware 164"}, {"Console 1 ("}},
      {"a scenario console that is not on the bus",
       "1 9 1\n2 1 1\n",
       "",
       1,
       {"Console 9 is used by the scenario and did not answer.\n"},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o = Run("test --simulate " + c.options + (c.scenario.empty() ? "" : " --scenario " + Scenario(c.scenario)));
    EXPECT_EQ(o.exitCode, c.exitCode) << o.out << o.err;
    for (const std::string& e : c.expected) EXPECT_NE(o.out.find(e), std::string::npos) << e << "\n" << o.out;
    for (const std::string& a : c.absent) EXPECT_EQ(o.out.find(a), std::string::npos) << a << "\n" << o.out;
  }

  Outcome json = Run("test --simulate --json --console 1 --scenario " + Scenario("1 1 3\n"));
  EXPECT_EQ(json.exitCode, 1);
  EXPECT_NE(json.out.find("{\"channel\": 3, \"state\": \"not connected\", \"used\": true}"), std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find("\"used_channels_not_ready\": [{\"console\": 1, \"channel\": 3, \"state\": \"not "
                          "connected\"}]"),
            std::string::npos)
      << json.out;

  EXPECT_EQ(Run("test").exitCode, 2) << "no channel test on whatever converter is plugged in";
  EXPECT_EQ(Run("test --simulate --console 0").exitCode, 2);
  EXPECT_EQ(Run("test --simulate --console 9").exitCode, 1) << "console 9 is not on the bench";
}

TEST_F(CliTest, RehearseRefusesWhatItCannotPlayBeforeTheShow) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  const std::string show = Scenario("1 1 1\n2 2 3\n");
  struct Case {
    std::string arguments;
    int exitCode;
    std::string error;
  } cases[] = {
      {show, 2, "name the bus: --simulate[=BENCH] or --port PATH"},
      {show + " --simulate --from 1:x", 2, "--from takes a time as the scenario writes it"},
      {show + " --simulate --from 1500", 2, "no cue at or after --from"},
      {show + " --simulate --from 99999999999ms", 2, "--from takes a time"},
      {"'" + folder.Write("empty.txt", "") + "' --simulate", 2, "the scenario has no cues"},
      {show + " --simulate --soundtrack '" + folder.Write("bad.wav", "RIFF") + "'", 1,
       "Ошибка: Ошибка загрузки фонограммы: неизвестный формат"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    Outcome o = Run("rehearse " + c.arguments);
    EXPECT_EQ(o.exitCode, c.exitCode) << o.err;
    EXPECT_NE(o.err.find(c.error), std::string::npos) << o.err;
    EXPECT_EQ(o.out, "") << "nothing played, nothing reported";
  }

  // From 1.5 s only the second cue plays.
  Outcome from = Run("rehearse " + show + " --simulate --from 1500ms --json");
  EXPECT_EQ(from.exitCode, 0) << from.err;
  EXPECT_NE(from.out.find("\"from_ms\": 1500,"), std::string::npos) << from.out;
  EXPECT_NE(from.out.find("\"time_ms\": 2000, \"time\": \"0:00:02.000\", \"console\": 2, \"fires\": \"channel 3\""),
            std::string::npos)
      << from.out;
  EXPECT_EQ(from.out.find("\"time_ms\": 1000"), std::string::npos) << from.out;
  EXPECT_NE(from.out.find("\"fired\": 1, \"not_fired\": 0"), std::string::npos) << from.out;
}

// The journal's events, one parsed line each.
std::vector<nlohmann::json> JournalEvents(const std::string& text) {
  std::istringstream in(text);
  std::vector<nlohmann::json> events;
  for (std::string line; std::getline(in, line);) events.push_back(nlohmann::json::parse(line));
  return events;
}

// The journal a command named first on standard error ("journal: PATH").
std::string JournalNamed(const std::string& err) { return err.substr(9, err.find('\n') - 9); }

// rehearse leaves a journal where --journal-dir says, says where on standard error as it begins,
// and the journal holds the header, every cue and the closing event.
// On a bench whose console has a channel not connected, the cue on it fired into an open circuit:
// named, counted as not fired, and the rehearsal fails.
TEST_F(CliTest, RehearseNamesACueFiredIntoAChannelTheBenchHasAsNotConnected) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  const std::string bench = folder.Write("open.bench", "converters 1\nconsole 3 version 168 channels 8 open 2\n");
  Outcome o = Run("rehearse " + Scenario("0.2 3 1\n0.3 3 2\n") + " --simulate='" + bench + "' --journal-dir '" +
                  folder.Path("journal-open") + "'");
  EXPECT_EQ(o.exitCode, 1) << o.err;
  EXPECT_NE(o.out.find("Cues fired: 1 of 2\nCues not fired: 1\n  line 2: console 3 channel 2 is not connected on "
                       "the bench: it fired into an open circuit, nothing lit\n"),
            std::string::npos)
      << o.out;
}

TEST_F(CliTest, RehearseWritesItsJournal) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  const std::string show = Scenario("0.2 1 1\n0.5 1 2\n");
  struct Case {
    const char* launch;
    const char* mode;
    const char* cueEvent;
    bool memoryWritten;
  } cases[] = {{"", "direct", "cue_sent", false}, {" --autonomous", "autonomous", "cue_followed", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const std::string dir = folder.Path(std::string("journal-") + c.mode);
    Outcome o = Run("rehearse " + show + " --simulate" + c.launch + " --journal-dir '" + dir + "'");
    ASSERT_EQ(o.exitCode, 0) << o.err;
    ASSERT_EQ(o.err.rfind("journal: " + dir + "/", 0), 0u) << o.err;
    const auto events = JournalEvents(Slurp(JournalNamed(o.err)));
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events.front()["event"], "header");
    EXPECT_EQ(events.front()["launch_mode"], c.mode);
    EXPECT_EQ(events.front()["scenario"]["sha256"].get<std::string>().size(), 64u);
    EXPECT_EQ(events.front()["last_verify"].is_null(), !c.memoryWritten);
    std::vector<int> planned;
    for (const auto& e : events)
      if (e["event"] == c.cueEvent) planned.push_back(e["planned_ms"]);
    EXPECT_EQ(planned, (std::vector<int>{200, 500}));
    EXPECT_EQ(events.back()["event"], "close");
  }
}

// write --verify and test leave a journal too: the consoles found, then what each pass did or
// what was measured, per console.
TEST_F(CliTest, WriteAndTestLeaveAJournal) {
  const std::string dir = folder.Path("journal-write");
  Outcome o = Run("write --verify " + Scenario("1 1 1\n2 1 2\n3 7 #C\n") + " --simulate --journal-dir '" + dir + "'");
  ASSERT_EQ(o.exitCode, 0) << o.err;
  ASSERT_EQ(o.err.rfind("journal: " + dir + "/", 0), 0u) << o.err;
  const auto events = JournalEvents(Slurp(JournalNamed(o.err)));
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0]["kind"], "write");
  EXPECT_EQ(events[1]["event"], "write");
  EXPECT_EQ(events[2]["event"], "verify");
  EXPECT_EQ(events[2]["result"], "OK");
  EXPECT_EQ(events[2]["consoles"].size(), 2u);
  EXPECT_EQ(events[3]["event"], "close");

  Outcome tested = Run("test --simulate --console 1 --journal-dir '" + dir + "'");
  ASSERT_EQ(tested.exitCode, 0) << tested.err;
  const auto measured = JournalEvents(Slurp(JournalNamed(tested.err)));
  ASSERT_EQ(measured.size(), 3u);
  EXPECT_EQ(measured[0]["kind"], "channel_test");
  EXPECT_TRUE(measured[0]["scenario"].is_null());
  EXPECT_EQ(measured[1]["event"], "channel_test");
  EXPECT_EQ(measured[1]["id"], 1);
  EXPECT_EQ(measured[1]["channels"].size(), 16u);
}

// write and verify --json: per console the cues and records each pass handled, and the cue where a
// verify found its difference, by its scenario line.
TEST_F(CliTest, WriteAndVerifyInJsonNameEachConsoleAndTheDifference) {
  // Console 1 of the default bench fires channels, console 7 is a motor console.
  const std::string scenario = Scenario("1 1 1\n2 1 2\n3 7 #C\n");
  // A fresh bench holds nothing: the first cue of the first console differs.
  Outcome verified = Run("verify --json " + scenario + " --simulate");
  EXPECT_EQ(verified.exitCode, 1) << verified.err;
  const auto v = nlohmann::json::parse(verified.out);
  ASSERT_EQ(v["passes"].size(), 1u) << verified.out;
  EXPECT_EQ(v["passes"][0]["pass"], "verify");
  EXPECT_EQ(v["passes"][0]["code"], -100);
  EXPECT_EQ(v["passes"][0]["result"], "Несовпадение сценария в пультах.");
  EXPECT_EQ(v["passes"][0]["differences"],
            nlohmann::json::parse(R"([{"console": 1, "line": 1, "time_ms": 1000, "cue": "channel 1"}])"));
  EXPECT_EQ(v["exit_status"], 1);

  Outcome written = Run("write --json --verify " + scenario + " --simulate");
  EXPECT_EQ(written.exitCode, 0) << written.err;
  const auto w = nlohmann::json::parse(written.out);
  ASSERT_EQ(w["passes"].size(), 2u) << written.out;
  const auto consoles =
      nlohmann::json::parse(R"([{"console": 1, "cues": 2, "records": 2}, {"console": 7, "cues": 1, "records": 3}])");
  for (const auto& pass : w["passes"]) {
    EXPECT_EQ(pass["result"], "OK");
    EXPECT_EQ(pass["consoles"], consoles) << written.out;
    EXPECT_TRUE(pass["differences"].empty());
  }
  EXPECT_GT(w["record_frames_sent"], 0);
  EXPECT_EQ(w["exit_status"], 0);
}

}  // namespace
}  // namespace fd::show
