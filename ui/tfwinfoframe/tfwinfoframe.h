// The system information page: once a second the driver's traffic totals, connection counts
// and filter state, two scrolling rate graphs, an activity picture and the security level of
// the main window's slider. Its button asks the main window for the log page.
#pragma once
#include <vector>

#include "driver/protocol.h"
#include "ui/consolehost/consolehost.h"
#include "ui/framework/controls.h"
#include "ui/framework/form.h"
#include "ui/framework/timer.h"
#include "ui/tfwinfoframe/rategraph.h"

// The version the page shows whenever the driver answers the version request.
constexpr const char* kDriverVersionText = "1.0.2.5";

// The level names by slider position; any other position reads as medium.
const char* LevelName(int position);

class TFWInfoFrame : public CPage {
 public:
  TFWInfoFrame(CComponent* owner, CConsoleHost& host);
  const char* ClassName() const override { return "TFWInfoFrame"; }

  void RefreshTimerTimer(CComponent* Sender);
  void SendPanelPaint(CComponent* Sender, HDC Surface, const RECT& Area);
  void RecvPanelPaint(CComponent* Sender, HDC Surface, const RECT& Area);
  void NetworkPaintBoxPaint(CComponent* Sender, HDC Surface, const RECT& Area);
  void ViewLogBtnClick(CComponent* Sender);

  CGroupBox *GroupBox1, *GroupBox2, *GroupBox3, *GroupBox4, *GroupBox5;
  CLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7;
  CLabel *TCPLabel, *UDPLabel, *SendLabel, *RecvLabel, *VersionLabel, *StateLabel, *jibie;
  CPaintBox *NetworkPaintBox, *SendPanel, *RecvPanel;
  CGlyphButton* ViewLogBtn;
  CImageList* NetworkImageList;
  CTimer* RefreshTimer;

  CRateGraph SendGraph, RecvGraph;
  int Activity = 0;  // bit 0: bytes went out in the last interval; bit 1: bytes came in
  _RKFW_STATISTICS LastStats = {};

 protected:
  // First resize: the version, and the totals the first interval counts from.
  void PageInit() override;

 private:
  CLabel* AddValue(CControl* group, const char* name, int top);
  // Draws a graph's picture into the paint box's surface in one copy.
  void PaintGraph(const CRateGraph& graph, CPaintBox* box, HDC dc);
  std::vector<uint32_t> pixels_;  // scratch picture, reused by every paint
  CConsoleHost& host_;            // the main window
};

// The activity pictures (0 none, 1 sending, 2 receiving, 3 both), 32 × 32 on the glyph key
// colour, and the glyph of the log button. The caller owns the bitmaps.
HBITMAP MakeActivityPicture(int activity);
HBITMAP MakeLogGlyph();
