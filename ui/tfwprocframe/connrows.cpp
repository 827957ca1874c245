#include "ui/tfwprocframe/connrows.h"

#include <unordered_map>

#include "platform/gbk.h"
#include "base/text.h"
#include "log/formatters.h"

namespace {
const char* const kStateNames[] = {"断开",     "侦听",     "连接中", "连接中", "连接",       "等待断开",
                                   "等待断开", "等待断开", "断开中", "断开中", "等待(2MSL)", "删除TCB"};

bool EndpointLike(const _RKFW_NETWORKCONNECTION& row) { return row.RemoteAddress == 0 && row.RemotePort == 0; }
}  // namespace

const char* TcpStateName(uint32_t state) {
  return state < sizeof kStateNames / sizeof kStateNames[0] ? kStateNames[state] : "";
}

void FoldDuplicateEndpoints(_RKFW_NETWORKCONNECTION* rows, uint32_t count) {
  std::unordered_map<uint32_t, uint32_t> representative;  // endpoint object -> row index
  representative.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    _RKFW_NETWORKCONNECTION& row = rows[i];
    if (row.Protocol != 1 || row.Endpoint == 0) continue;
    auto found = representative.emplace(row.Endpoint, i);
    if (found.second) continue;
    _RKFW_NETWORKCONNECTION& first = rows[found.first->second];
    if (EndpointLike(first) && first.State <= 1) {
      first.State = kListening;
      if (EndpointLike(row) && row.State == 0) row.State = kHiddenRow;
    } else if (EndpointLike(row) && row.State <= 1) {
      row.State = kListening;
      found.first->second = i;
    }
  }
}

std::string ConnectionRowText(const _RKFW_NETWORKCONNECTION& row) {
  std::string text;
  _textPtr local = FormatEndpoint(row.LocalAddress, row.LocalPort);
  switch (row.Protocol) {
    case 0:
      AppendFormat(text, "本地地址: %s 发送 %s 接收 %s", local.Data(), FormatGroupedNumber(row.BytesSent).Data(),
                   FormatGroupedNumber(row.BytesReceived).Data());
      break;
    case 1:
      if (row.State == kListening) {
        AppendFormat(text, "侦听: 本地地址: %s", local.Data());
      } else {
        AppendFormat(text, "%s: 本地地址: %s 远程地址 %s 发送 %s 接收 %s", TcpStateName(row.State), local.Data(),
                     FormatEndpoint(row.RemoteAddress, row.RemotePort).Data(),
                     FormatGroupedNumber(row.BytesSent).Data(), FormatGroupedNumber(row.BytesReceived).Data());
      }
      break;
    case 2:
      AppendFormat(text, "绑定: 本地地址: %s 发送 %s 接收 %s", local.Data(), FormatGroupedNumber(row.BytesSent).Data(),
                   FormatGroupedNumber(row.BytesReceived).Data());
      break;
    default:
      break;
  }
  return text;
}

std::string ProgramKey(const char* text) {
  std::string key = text != nullptr ? text : "";
  ForEachSingleByteChar(key.data(), key.size(), [&](size_t i) {
    if (key[i] >= 'A' && key[i] <= 'Z') key[i] = static_cast<char>(key[i] - 'A' + 'a');
  });
  return key;
}
