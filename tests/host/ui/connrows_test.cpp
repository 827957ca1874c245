// The process page's rows without windows: duplicate endpoints folded, the line texts, the
// close test and program identity.
#include "ui/tfwprocframe/connrows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {
_RKFW_NETWORKCONNECTION Row(uint32_t protocol, uint32_t state, uint32_t endpoint, uint32_t remote = 0,
                            uint16_t remotePort = 0) {
  _RKFW_NETWORKCONNECTION row;
  memset(&row, 0, sizeof row);
  row.Protocol = protocol;
  row.State = state;
  row.Endpoint = endpoint;
  row.LocalAddress = 0x0500000A;  // 10.0.0.5
  row.LocalPort = 0x0104;          // 1025
  row.RemoteAddress = remote;
  row.RemotePort = remotePort;
  return row;
}

std::vector<uint32_t> Fold(std::vector<_RKFW_NETWORKCONNECTION> rows) {
  FoldDuplicateEndpoints(rows.data(), static_cast<uint32_t>(rows.size()));
  std::vector<uint32_t> states;
  for (const auto& r : rows) states.push_back(r.State);
  return states;
}
}  // namespace

TEST(ConnectionRows, OneListeningLinePerEndpointObject) {
  const uint32_t H = kHiddenRow;
  // Two closed endpoint rows of one object: the first listens, the second is hidden.
  EXPECT_EQ((std::vector<uint32_t>{1, H}), Fold({Row(1, 0, 7), Row(1, 0, 7)}));
  // A repeat that already listens stays shown.
  EXPECT_EQ((std::vector<uint32_t>{1, 1}), Fold({Row(1, 0, 7), Row(1, 1, 7)}));
  // A connected representative hands the object to the first endpoint row after it, which
  // then hides the next closed one.
  EXPECT_EQ((std::vector<uint32_t>{4, 1, H}),
            Fold({Row(1, 4, 8, 0x0100000A, 0x5000), Row(1, 0, 8), Row(1, 0, 8)}));
  // Connections of a listening object are left as they are.
  EXPECT_EQ((std::vector<uint32_t>{1, 4}), Fold({Row(1, 0, 9), Row(1, 4, 9, 0x0100000A, 0x5000)}));
  // UDP rows and rows without an object never fold.
  EXPECT_EQ((std::vector<uint32_t>{0, 0, 0, 0}), Fold({Row(2, 0, 5), Row(2, 0, 5), Row(1, 0, 0), Row(1, 0, 0)}));
}

TEST(ConnectionRows, LineTextByProtocolAndState) {
  _RKFW_NETWORKCONNECTION tcp = Row(1, 4, 0, 0x0100000A, 0x5000);
  tcp.BytesSent = 1234567;
  tcp.BytesReceived = 89;
  EXPECT_EQ("连接: 本地地址:  10.  0.  0.  5:1025 远程地址  10.  0.  0.  1:80 发送 1,234,567 接收 89",
            ConnectionRowText(tcp));
  EXPECT_EQ("侦听: 本地地址:  10.  0.  0.  5:1025", ConnectionRowText(Row(1, 1, 0)));
  EXPECT_EQ("等待(2MSL): 本地地址:  10.  0.  0.  5:1025 远程地址  10.  0.  0.  1:80 发送 0 接收 0",
            ConnectionRowText(Row(1, 10, 0, 0x0100000A, 0x5000)));
  EXPECT_EQ(": 本地地址:  10.  0.  0.  5:1025 远程地址  10.  0.  0.  1:80 发送 0 接收 0",
            ConnectionRowText(Row(1, 12, 0, 0x0100000A, 0x5000)));
  EXPECT_EQ("本地地址:  10.  0.  0.  5:1025 发送 0 接收 0", ConnectionRowText(Row(0, 0, 0)));
  EXPECT_EQ("绑定: 本地地址:  10.  0.  0.  5:1025 发送 0 接收 0", ConnectionRowText(Row(2, 0, 0)));
  EXPECT_EQ("", ConnectionRowText(Row(3, 0, 0)));

  EXPECT_TRUE(CanCloseConnection(tcp));
  EXPECT_TRUE(CanCloseConnection(Row(1, 0, 0)));
  EXPECT_FALSE(CanCloseConnection(Row(1, 1, 0)));
  EXPECT_FALSE(CanCloseConnection(Row(2, 4, 0)));
  EXPECT_FALSE(CanCloseConnection(Row(0, 4, 0)));
}

TEST(ConnectionRows, ProgramKeyFoldsLettersButNotDoubleByteCharacters) {
  EXPECT_EQ(ProgramKey("c:\\apps\\web.exe"), ProgramKey("C:\\Apps\\WEB.EXE"));
  // The trail byte 0x41 of a GBK character is not the letter A.
  EXPECT_NE(ProgramKey("C:\\\xB0\x41.exe"), ProgramKey("C:\\\xB0\x61.exe"));
  EXPECT_EQ("c:\\\xB0\x41.exe", ProgramKey("C:\\\xB0\x41.EXE"));
}
