// The three state pictures of an audit card (permit, notify, block), each lit and greyed,
// drawn by code at 18 x 18. One list serves every card: a page of a thousand programs holds
// six pictures, not six thousand.
#pragma once
#include "ui/framework/imagelist.h"

// Lit pictures sit at even places, their greyed forms right after them.
enum : int { kStatePermit = 0, kStateNotify = 2, kStateBlock = 4, kStateImageCount = 6 };
constexpr int kStateImageSize = 18;

// The list, made on first use and kept for the rest of the run.
const CImageList& AuditStateImages();
// The greyed form of a colour: its brightness, lifted towards white.
COLORREF GreyedColor(COLORREF color);
