// A vertical scroll box that stacks windowed frames (cards) from the top, full width, in
// their order among the box's children. Only the frames in view are placed where they show;
// the others wait just below the view, so a scroll step moves a few windows, not all of
// them, and no window coordinate grows with the number of cards (Win9x keeps them in 16 bits).
// Only the frames in view have windows, and one spare: a frame coming into view takes over
// the windows of one that left, when both are of the same make (moved and relabelled, not
// destroyed and made again), or makes its own; a frame that leaves gives its windows on or
// back (unless it holds the keyboard or the mouse, or a message of its is being handled). So
// a page of two thousand cards opens as fast as one of ten, costs the windows of one screen
// however far the user scrolls, and a step of the wheel makes no window.
#pragma once
#include <windows.h>

#include <vector>

#include "ui/framework/control.h"

class CScrollBox : public CControl {
 public:
  CScrollBox(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TScrollBox"; }

  int ScrollPos() const { return scrollPos_; }
  void SetScrollPos(int pos);
  // Height of all stacked frames.
  int ContentHeight() const { return contentHeight_; }
  // Scrolls so that `child` shows whole (as far as it fits).
  void ScrollInView(CControl* child);
  // Where `child` lies in the stack (its top, as if nothing were scrolled); -1 if not here.
  int StackTop(CControl* child) const;
  // Moves `child` to place `index` among the children, and the stack with it.
  void MoveChildTo(CControl* child, int index);

  // Many frames at once: the stack is laid out once, when the last of these ends. A throw
  // on the way out leaves the box laid out or, when the layout itself threw, free for the next.
  class CUpdate {
   public:
    explicit CUpdate(CScrollBox* box);
    ~CUpdate() noexcept(false);
    CUpdate(const CUpdate&) = delete;
    CUpdate& operator=(const CUpdate&) = delete;

   private:
    CScrollBox* box_;
    int exceptions_;  // in flight when it began: one more at the end means unwinding
  };
  bool Updating() const { return updating_ > 0; }

  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  void CreateParams(CCreateParams& params) override;
  void Resized() override;
  void ChildrenChanged(CControl* child) override;
  // A frame gets its window when it first comes into view.
  bool WantsChildWindow(const CControl*) const override { return layingOut_; }

 private:
  void Layout();
  // Puts the frames in view in place, with windows, and the others out of view without.
  // `everything`: after a layout, every frame is looked at; otherwise only those placed last.
  void PlaceInView(bool everything);
  // A scroll the user asked for: painted before the next message.
  void ScrollByUser(int pos);
  // Takes the next queued wheel message if it is for this box (or a window inside it).
  bool TakeQueuedWheel(int* delta);
  std::vector<int> tops_;   // stack top of each child, by index; -1 for a hidden one
  std::vector<int> stack_;  // the indices of the stacked children, top to bottom
  std::vector<CControl*> placed_;  // placed in view last time, or out of it still holding windows
  bool placedStale_ = false;       // one of placed_ left the box while the stack was placed
  int contentHeight_ = 0;
  int scrollPos_ = 0;
  int updating_ = 0;
  int wheel_ = 0;  // wheel turn not yet a whole notch
  bool layingOut_ = false;
};
