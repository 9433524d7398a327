// firnadesk-bench end to end: the tool serves the default bench on a pseudo-terminal and the
// program's own serial driver, port and engine talk to it in real time, the way `--port` does.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "bus/tport.h"
#include "bus/tty_driver.h"
#include "bus/usb_port.h"
#include "platform/loop_platform.h"
#include "tool_process.h"

namespace fd {
namespace {

using fd::testing::ToolProcess;

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "firnadesk-bench-" + std::to_string(::getpid()) + "-" + name;
}

// The program's side: serial driver on the given path, the port with its echo check, the engine.
struct Program {
  explicit Program(const std::string& path) : driver(path) {
    auto usb = std::make_unique<bus::TUSBPort>(driver, platform.GetClock(), 1);
    port = usb.get();
    opened = usb->Open();
    engine = std::make_unique<bus::TPort>(platform, std::move(usb));
  }
  int Version(int address) {
    int version = 0;
    const int r = engine->ReadVersion(address, -1, 0, version);
    return r == bus::kBusOk ? version : r;
  }

  platform::LoopPlatform platform;
  bus::TtyDriver driver;
  bus::TUSBPort* port = nullptr;
  bool opened = false;
  std::unique_ptr<bus::TPort> engine;
};

TEST(BenchTool, AnswersTheProgramOverAPseudoTerminal) {
  const std::string link = TempPath("link");
  ToolProcess tool({FIRNADESK_BENCH_TOOL, "--link", link});
  ASSERT_TRUE(tool.Started());
  const std::string slave = tool.FirstLine();
  ASSERT_EQ(slave.rfind("/dev/pts/", 0), 0u) << slave << tool.Error();
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), slave);

  Program program(link);
  ASSERT_TRUE(program.opened);
  EXPECT_EQ(program.Version(1), 0x147);
  EXPECT_EQ(program.Version(240), 0x105);
  EXPECT_EQ(program.Version(9), bus::kBusNoReply);

  double value = 0;
  EXPECT_EQ(program.engine->FireChannel(2, 0, false, -1, 0, value), bus::kBusOk);
  const size_t mark = tool.OutputMark();
  tool.Send("log");
  EXPECT_TRUE(tool.WaitForOutput("console 2  channel 1  level 0  direct", mark)) << tool.Output();

  tool.Send("quit");
  EXPECT_EQ(tool.Wait(), 0);
  // The fire log comes once more at exit, and the link is gone with the pseudo-terminal.
  EXPECT_NE(tool.Output().rfind("fire log:\n"), tool.Output().find("fire log:\n"));
  EXPECT_FALSE(std::filesystem::is_symlink(link));
}

TEST(BenchTool, SwitchesDevicesAndPullsTheConverter) {
  const std::string link = TempPath("replug");
  ToolProcess tool({FIRNADESK_BENCH_TOOL, "--link=" + link});
  const std::string first = tool.FirstLine();
  ASSERT_FALSE(first.empty()) << tool.Error();
  Program program(link);
  ASSERT_TRUE(program.opened);

  size_t mark = tool.OutputMark();
  tool.Send("off 3");
  ASSERT_TRUE(tool.WaitForOutput("address 3 switched off", mark));
  EXPECT_EQ(program.Version(3), bus::kBusNoReply);
  mark = tool.OutputMark();
  tool.Send("on 3");
  ASSERT_TRUE(tool.WaitForOutput("address 3 switched on", mark));
  EXPECT_EQ(program.Version(3), 0x164);

  mark = tool.OutputMark();
  tool.Send("unplug");
  ASSERT_TRUE(tool.WaitForOutput("converter unplugged", mark));
  EXPECT_EQ(program.port->BytesAvailable(), -1) << "the program notices the converter is gone";
  EXPECT_FALSE(program.port->Reopen());

  mark = tool.OutputMark();
  tool.Send("replug");
  ASSERT_TRUE(tool.WaitForOutput("/dev/pts/", mark)) << tool.Error();
  const std::string second = tool.Output().substr(mark, tool.Output().find('\n', mark) - mark);
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), second);
  ASSERT_TRUE(program.port->Reopen()) << "the link keeps one name across the replug";
  EXPECT_EQ(program.Version(3), 0x164);

  tool.CloseInput();  // end of input ends the bench too
  EXPECT_EQ(tool.Wait(), 0);
  EXPECT_NE(tool.Output().find("fire log:\n(no firings)"), std::string::npos) << tool.Output();
}

TEST(BenchTool, PrintsTheFireLogWhenTerminated) {
  ToolProcess tool({FIRNADESK_BENCH_TOOL});
  const std::string slave = tool.FirstLine();
  ASSERT_FALSE(slave.empty()) << tool.Error();
  {
    Program program(slave);
    ASSERT_TRUE(program.opened);
    double value = 0;
    EXPECT_EQ(program.engine->FireChannel(6, 4, true, -1, 0, value), bus::kBusOk);
  }
  ::kill(tool.Pid(), SIGTERM);
  EXPECT_EQ(tool.Wait(), 0);
  EXPECT_NE(tool.Output().find("fire log:\n"), std::string::npos);
  EXPECT_NE(tool.Output().find("console 6  channel 5  level 0  direct"), std::string::npos) << tool.Output();
}

TEST(BenchTool, BadCommandsAndBadInvocations) {
  {
    ToolProcess tool({FIRNADESK_BENCH_TOOL});
    ASSERT_FALSE(tool.FirstLine().empty());
    tool.Send("explode");
    EXPECT_TRUE(tool.WaitForError("firnadesk-bench: unknown command \"explode\""));
    tool.Send("off");
    EXPECT_TRUE(tool.WaitForError("firnadesk-bench: off needs one bus address 0..255"));
    tool.Send("off 77");
    EXPECT_TRUE(tool.WaitForError("firnadesk-bench: nothing at address 77"));
    tool.Send("remote-stop");
    EXPECT_TRUE(tool.WaitForError("firnadesk-bench: this bench has no remote control"));
    tool.Send("quit");
    EXPECT_EQ(tool.Wait(), 0);
  }
  {
    const std::string path = TempPath("bad.bench");
    std::ofstream(path) << "console 1\nconsole 2 letter XY\n";
    ToolProcess tool({FIRNADESK_BENCH_TOOL, path});
    EXPECT_EQ(tool.Wait(), 2) << "a bench file that cannot be used is bad input";
    EXPECT_NE(tool.Error().find(path + ":2: letter must be one character"), std::string::npos) << tool.Error();
    EXPECT_TRUE(tool.Output().empty()) << "no pseudo-terminal for a bad bench";
    std::remove(path.c_str());
  }
  {
    ToolProcess tool({FIRNADESK_BENCH_TOOL, "--frobnicate"});
    EXPECT_EQ(tool.Wait(), 2);
    EXPECT_NE(tool.Error().find("unknown option --frobnicate"), std::string::npos);
  }
  {
    const std::string file = TempPath("not-a-link");
    std::ofstream(file) << "keep me\n";
    ToolProcess tool({FIRNADESK_BENCH_TOOL, "--link", file});
    EXPECT_EQ(tool.Wait(), 1);
    EXPECT_NE(tool.Error().find("exists and is not a symlink"), std::string::npos) << tool.Error();
    std::ifstream in(file);
    std::string kept;
    std::getline(in, kept);
    EXPECT_EQ(kept, "keep me");
    std::remove(file.c_str());
  }
}

}  // namespace
}  // namespace fd
