// A form holding one of every control of the widget layer, for the gallery test and for the
// screenshot that shows how they look (build/win32/bin/ui_gallery.exe).
#pragma once
#include "ui/framework/controls.h"
#include "ui/framework/form.h"
#include "ui/framework/looks.h"
#include "ui/framework/menu.h"

class CGalleryForm : public CForm {
 public:
  explicit CGalleryForm(CComponent* owner) : CForm(owner, "GalleryForm") {
    SetText("控件一览");
    SetBorderStyle(TBorderStyle::Dialog);
    SetPosition(TPosition::ScreenCenter);
    SetClientSize(520, 400);
    SetFormFont(kConsoleFontFace, kConsoleFontPixels);

    Images = new CImageList(this, "Images");
    Bevel1 = NewControl<CBevel>(this, this, "Bevel1", 8, 8, 504, 2);
    Bevel1->SetShape(TBevelShape::TopLine);
    NameLabel = NewControl<CLabel>(this, this, "NameLabel", 12, 20, 60, 14, "名称:");
    NameEdit = NewControl<CEdit>(this, this, "NameEdit", 76, 16, 150, 20);
    AppGroupBox = NewControl<CGroupBox>(this, this, "AppGroupBox", 12, 44, 214, 96, "作用对象");
    SysRadioButton = NewControl<CRadioButton>(this, AppGroupBox, "SysRadioButton", 10, 20, 190, 18, "整个系统");
    AllAppRadioButton = NewControl<CRadioButton>(this, AppGroupBox, "AllAppRadioButton", 10, 44, 190, 18, "所有应用程序");
    AppRadioButton = NewControl<CRadioButton>(this, AppGroupBox, "AppRadioButton", 10, 68, 190, 18, "指定应用程序访问网络时");
    SysRadioButton->SetChecked(true);
    LogCheckBox = NewControl<CCheckBox>(this, this, "LogCheckBox", 12, 148, 100, 18, "记录日志");
    ActionComboBox = NewControl<CComboBox>(this, this, "ActionComboBox", 120, 147, 106, 20);
    ActionComboBox->AddItem("允许", 0);
    ActionComboBox->AddItem("拦截", 1);
    ActionComboBox->AddItem("询问", 2);
    ActionComboBox->SetItemIndex(0);
    PortSpinEdit = NewControl<CSpinEdit>(this, this, "PortSpinEdit", 12, 176, 100, 20);
    PortSpinEdit->SetRange(1, 65535);
    PortSpinEdit->SetValue(80);
    MaskIPAddress = NewControl<CIPAddress>(this, this, "MaskIPAddress", 120, 176, 106, 20);
    AddrListBox = NewControl<CListBox>(this, this, "AddrListBox", 12, 204, 214, 70);
    AddrListBox->SetMultiSelect(true);
    DescMemo = NewControl<CMemo>(this, this, "DescMemo", 12, 282, 214, 50);

    RulePageControl = NewControl<CPageControl>(this, this, "RulePageControl", 240, 16, 272, 150);
    static const char* const kPages[] = {"IP", "TCP", "UDP", "ICMP", "IGMP"};
    for (int i = 0; i < 5; ++i) {
      Pages[i] = new CTabSheet(this, kPages[i]);
      Pages[i]->SetText(kPages[i]);
      Pages[i]->SetPageControl(RulePageControl);
    }
    TcpEdit = NewControl<CEdit>(this, Pages[1], "TcpEdit", 10, 10, 120, 20);
    IcmpEdit = NewControl<CEdit>(this, Pages[3], "IcmpEdit", 10, 10, 120, 20);
    RulePageControl->SetActivePage(Pages[1]);

    ProcTreeView = NewControl<CTreeView>(this, this, "ProcTreeView", 240, 174, 272, 100);
    ProcTreeView->SetImages(Images);
    GraphPaintBox = NewControl<CPaintBox>(this, this, "GraphPaintBox", 240, 282, 130, 50);
    GraphPaintBox->OnPaint = [](CComponent*, HDC dc, const RECT& area) {
      HBRUSH back = CreateSolidBrush(kGraphBackColor);
      FillRect(dc, &area, back);
      DeleteObject(back);
      HPEN trace = CreatePen(PS_SOLID, 1, kGraphTraceColor);
      HGDIOBJ old = SelectObject(dc, trace);
      MoveToEx(dc, 0, area.bottom - 5, nullptr);
      LineTo(dc, area.right / 2, area.top + 10);
      LineTo(dc, area.right, area.bottom - 20);
      SelectObject(dc, old);
      DeleteObject(trace);
    };
    CardScrollBox = NewControl<CScrollBox>(this, this, "CardScrollBox", 380, 282, 132, 50);
    for (int i = 0; i < 3; ++i) {
      char name[32];
      wsprintfA(name, "Card%d", i);
      auto* card = NewControl<CPanel>(this, CardScrollBox, name, 0, 0, 110, 30);
      card->SetColor(i % 2 ? kCardDisabledColor : kCardEnabledColor);
      wsprintfA(name, "CardLabel%d", i);
      NewControl<CLabel>(this, card, name, 4, 8, 100, 14, "规则卡片");
    }
    Image1 = NewControl<CImage>(this, this, "Image1", 12, 344, 32, 32);
    Image1->SetIcon(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION)));
    OKBtn = NewControl<CGlyphButton>(this, this, "OKBtn", 336, 350, 80, 26, "确定");
    OKBtn->SetModalResult(mrOk);
    OKBtn->SetDefault(true);
    CancelBtn = NewControl<CButton>(this, this, "CancelBtn", 428, 350, 80, 26, "取消");
    CancelBtn->SetModalResult(mrCancel);
    CancelBtn->SetCancel(true);
    Menu = new CPopupMenu(this, "Menu");
    Menu->SetOwnerDraw(true);
    Menu->AddItem("N1", "断开该连接");
  }
  const char* ClassName() const override { return "TGalleryForm"; }

  CImageList* Images;
  CBevel* Bevel1;
  CLabel* NameLabel;
  CEdit* NameEdit;
  CGroupBox* AppGroupBox;
  CRadioButton *SysRadioButton, *AllAppRadioButton, *AppRadioButton;
  CCheckBox* LogCheckBox;
  CComboBox* ActionComboBox;
  CSpinEdit* PortSpinEdit;
  CIPAddress* MaskIPAddress;
  CListBox* AddrListBox;
  CMemo* DescMemo;
  CPageControl* RulePageControl;
  CTabSheet* Pages[5];
  CEdit *TcpEdit, *IcmpEdit;
  CTreeView* ProcTreeView;
  CPaintBox* GraphPaintBox;
  CScrollBox* CardScrollBox;
  CImage* Image1;
  CGlyphButton* OKBtn;
  CButton* CancelBtn;
  CPopupMenu* Menu;
};
