#include "ui/tfwinfoframe/tfwinfoframe.h"

#include "base/result.h"
#include "driver/port.h"
#include "log/formatters.h"
#include "ui/framework/looks.h"

namespace {
constexpr int kValueLeft = 76;
constexpr int kValueWidth = 108;
constexpr int kActivitySize = 32;
}  // namespace

const char* LevelName(int position) {
  switch (position) {
    case 0: return "高级";
    case 2: return "低级";
    case 3: return "自定义";
    default: return "中级";
  }
}

TFWInfoFrame::TFWInfoFrame(CComponent* owner, CConsoleHost& host) : CPage(owner, "FWInfoFrame"), host_(host) {
  GroupBox1 = NewControl<CGroupBox>(this, this, "GroupBox1", 8, 4, 196, 60, "网络连接数 :");
  Label1 = NewControl<CLabel>(this, GroupBox1, "Label1", 12, 20, 60, 14, "TCP:");
  TCPLabel = AddValue(GroupBox1, "TCPLabel", 20);
  Label2 = NewControl<CLabel>(this, GroupBox1, "Label2", 12, 38, 60, 14, "UDP:");
  UDPLabel = AddValue(GroupBox1, "UDPLabel", 38);

  GroupBox2 = NewControl<CGroupBox>(this, this, "GroupBox2", 8, 70, 196, 60, "流量");
  Label3 = NewControl<CLabel>(this, GroupBox2, "Label3", 12, 20, 60, 14, "发送");
  SendLabel = AddValue(GroupBox2, "SendLabel", 20);
  Label4 = NewControl<CLabel>(this, GroupBox2, "Label4", 12, 38, 60, 14, "接收");
  RecvLabel = AddValue(GroupBox2, "RecvLabel", 38);

  GroupBox5 = NewControl<CGroupBox>(this, this, "GroupBox5", 8, 136, 196, 78, "防火墙参数:");
  Label5 = NewControl<CLabel>(this, GroupBox5, "Label5", 12, 20, 64, 14, "软件版本:");
  VersionLabel = AddValue(GroupBox5, "VersionLabel", 20);
  VersionLabel->SetText("");
  Label6 = NewControl<CLabel>(this, GroupBox5, "Label6", 12, 38, 64, 14, "当前状态:");
  StateLabel = AddValue(GroupBox5, "StateLabel", 38);
  StateLabel->SetText("");
  Label7 = NewControl<CLabel>(this, GroupBox5, "Label7", 12, 56, 64, 14, "安全级别:");
  jibie = AddValue(GroupBox5, "jibie", 56);
  jibie->SetText("");

  NetworkImageList = new CImageList(this, "NetworkImageList", kActivitySize, kActivitySize);
  for (int i = 0; i < 4; ++i) {
    HBITMAP picture = MakeActivityPicture(i);
    NetworkImageList->Add(picture, kGlyphKeyColor);
    DeleteObject(picture);
  }
  NetworkPaintBox = NewControl<CPaintBox>(this, this, "NetworkPaintBox", 24, 230, kActivitySize, kActivitySize);
  NetworkPaintBox->OnPaint = Bind(this, &TFWInfoFrame::NetworkPaintBoxPaint);
  ViewLogBtn = NewControl<CGlyphButton>(this, this, "ViewLogBtn", 96, 232, 100, 28, "查看日志");
  ViewLogBtn->SetGlyph(MakeLogGlyph());
  ViewLogBtn->OnClick = Bind(this, &TFWInfoFrame::ViewLogBtnClick);

  GroupBox3 = NewControl<CGroupBox>(this, this, "GroupBox3", 212, 4, 324, 140, "发送数据量");
  SendPanel = NewControl<CPaintBox>(this, GroupBox3, "SendPanel", 8, 20, 308, 112);
  SendPanel->OnPaint = Bind(this, &TFWInfoFrame::SendPanelPaint);
  GroupBox4 = NewControl<CGroupBox>(this, this, "GroupBox4", 212, 150, 324, 140, "接送数据量");
  RecvPanel = NewControl<CPaintBox>(this, GroupBox4, "RecvPanel", 8, 20, 308, 112);
  RecvPanel->OnPaint = Bind(this, &TFWInfoFrame::RecvPanelPaint);

  RefreshTimer = new CTimer(this, "RefreshTimer");
  RefreshTimer->SetInterval(1000);
  RefreshTimer->OnTimer = Bind(this, &TFWInfoFrame::RefreshTimerTimer);
  RefreshTimer->SetEnabled(true);
}

CLabel* TFWInfoFrame::AddValue(CControl* group, const char* name, int top) {
  CLabel* label = NewControl<CLabel>(this, group, name, kValueLeft, top, kValueWidth, 14, "0");
  label->SetAlignment(DT_RIGHT);
  return label;
}

void TFWInfoFrame::PageInit() {
  uint32_t version = 0;
  if (host_.Driver().GetDriverVersion(&version) == RESULT_OK) VersionLabel->SetText(kDriverVersionText);
  _RKFW_STATISTICS stats = {};
  if (host_.Driver().GetTrafficStats(&stats) == RESULT_OK) LastStats = stats;
  RefreshTimerTimer(RefreshTimer);
}

void TFWInfoFrame::RefreshTimerTimer(CComponent*) {
  // Before the first resize there are no baseline totals: a sample now would be the whole
  // total since the driver started.
  if (!Initialised) return;
  _RKFW_STATISTICS stats = {};
  if (host_.Driver().GetTrafficStats(&stats) != RESULT_OK) return;
  SendLabel->SetText(FormatGroupedNumber(static_cast<int64_t>(stats.TotalSent)).Data());
  RecvLabel->SetText(FormatGroupedNumber(static_cast<int64_t>(stats.TotalReceived)).Data());
  uint32_t sent = IntervalSample(LastStats.TotalSent, stats.TotalSent);
  uint32_t received = IntervalSample(LastStats.TotalReceived, stats.TotalReceived);

  uint32_t rows = 0, tcp = 0, udp = 0;
  if (host_.Driver().GetConnections(nullptr, &rows, &tcp, &udp) == RESULT_OK) {
    TCPLabel->SetText(FormatGroupedNumber(tcp).Data());
    UDPLabel->SetText(FormatGroupedNumber(udp).Data());
  }

  if (SendGraph.Add(sent, SendPanel->Width())) SendPanel->Invalidate();
  if (RecvGraph.Add(received, RecvPanel->Width())) RecvPanel->Invalidate();

  int activity = (sent != 0 ? 1 : 0) + (received != 0 ? 2 : 0);
  if (activity != Activity) {
    Activity = activity;
    NetworkPaintBox->Invalidate();
    NetworkPaintBox->Update();
  }
  LastStats = stats;

  uint8_t enabled = 0;
  if (host_.Driver().GetFilterEnabled(&enabled) == RESULT_OK) StateLabel->SetText(enabled == 1 ? "启用中" : "禁用中");
  jibie->SetText(LevelName(host_.SecurityLevel()));
}

void TFWInfoFrame::PaintGraph(const CRateGraph& graph, CPaintBox* box, HDC dc) {
  int width = box->Width(), height = box->Height();
  graph.Draw(width, height, pixels_);
  if (pixels_.empty()) return;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                    static_cast<UINT>(height), pixels_.data(), &info, DIB_RGB_COLORS);
}

void TFWInfoFrame::SendPanelPaint(CComponent*, HDC dc, const RECT&) { PaintGraph(SendGraph, SendPanel, dc); }
void TFWInfoFrame::RecvPanelPaint(CComponent*, HDC dc, const RECT&) { PaintGraph(RecvGraph, RecvPanel, dc); }

void TFWInfoFrame::NetworkPaintBoxPaint(CComponent*, HDC dc, const RECT&) {
  NetworkImageList->Draw(dc, Activity, 0, 0);
}

void TFWInfoFrame::ViewLogBtnClick(CComponent*) { host_.RequestLogPage(); }
