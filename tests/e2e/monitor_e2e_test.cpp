// The monitoring pages in the real console against RkFw.sys: the information page shown at
// start-up and following the driver's traffic and connections second by second, its view-log
// button, and the connection page's tree following the driver's table.
#include "tests/e2e/console_fixture.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace {

int TreeCount(HWND tree) { return static_cast<int>(SendMessageA(tree, TVM_GETCOUNT, 0, 0)); }

TEST_F(ConsoleE2E, TheInformationPageShowsAtStartAndFollowsTheDriverEverySecond) {
  CProgramFolder folder("monitor");
  ASSERT_TRUE(SetSettingDword("Level", 3));
  CConsole console;
  StartConsole(console, folder);
  // The page is there from the start; the window opens on it.
  EXPECT_EQ("TFWInfoFrame", console.Find("FWInfoFrame").className);
  EXPECT_TRUE(WaitUntil([&] { return console.TextOf("VersionLabel") == "1.0.2.5"; })) << console.TextOf("VersionLabel");
  EXPECT_TRUE(WaitUntil([&] { return console.TextOf("jibie") == "自定义"; })) << console.TextOf("jibie");
  ClickControl(console.Find("open"));
  ASSERT_TRUE(WaitUntil([&] { return console.Find("SendPanel").showing; }));

  Rkfwctl("conn add key=1 proto=tcp pid=100 name=web.exe path=\"C:\\Apps\\web.exe\" local=10.0.0.5:1025 remote=10.0.0.1:80");
  Rkfwctl("conn add key=2 proto=tcp pid=101 name=web.exe path=\"C:\\Apps\\web.exe\" local=10.0.0.5:1026 remote=10.0.0.1:80");
  Rkfwctl("conn add key=3 proto=udp pid=100 name=web.exe path=\"C:\\Apps\\web.exe\" local=10.0.0.5:53");
  Rkfwctl("traffic 1234567 20480");
  EXPECT_TRUE(WaitUntil([&] { return console.TextOf("SendLabel") == "1,234,567"; })) << console.TextOf("SendLabel");
  EXPECT_TRUE(WaitUntil([&] { return console.TextOf("RecvLabel") == "20,480"; })) << console.TextOf("RecvLabel");
  EXPECT_TRUE(WaitUntil([&] { return console.TextOf("TCPLabel") == "2"; })) << console.TextOf("TCPLabel");
  EXPECT_EQ("1", console.TextOf("UDPLabel"));
  // A second of more than 10240 bytes reaches the top edge of the graph, at its left end.
  CControlInfo graph = console.Find("SendPanel");
  EXPECT_TRUE(WaitUntil([&] {
    HDC screen = GetDC(nullptr);
    COLORREF top = GetPixel(screen, graph.screen.left, graph.screen.top);
    ReleaseDC(nullptr, screen);
    return top == RGB(0, 192, 0);
  })) << "the trace is not at the top edge";

  // "查看日志" shows the log page in place of this one.
  ClickControl(console.Find("ViewLogBtn"));
  EXPECT_TRUE(WaitUntil([&] { return console.Find("LogMemo").showing; }));
  EXPECT_TRUE(WaitUntil([&] { return console.Find("FWInfoFrame").name.empty(); })) << "the page stays";

  // The connection page: one program node with its three groups and a line per row; a row
  // the driver drops leaves the tree within a second or two.
  ClickControl(console.Control("ProcInfoBtn"));
  HWND tree = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (tree = console.Control("ProcTreeView")) != nullptr; }));
  EXPECT_TRUE(WaitUntil([&] { return TreeCount(tree) == 1 + 3 + 3; })) << TreeCount(tree);
  Rkfwctl("conn del 2");
  EXPECT_TRUE(WaitUntil([&] { return TreeCount(tree) == 1 + 3 + 2; })) << TreeCount(tree);
  Rkfwctl("conn add key=9 proto=udp pid=300 name=mail.exe local=10.0.0.5:25");
  EXPECT_TRUE(WaitUntil([&] { return TreeCount(tree) == 2 * (1 + 3) + 3; })) << TreeCount(tree);

  CloseConsole(console);
}

}  // namespace
