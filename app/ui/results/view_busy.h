// The busy counter every result view keeps: while it is above zero the view is changing its own
// control, so the control's change and selection signals are not passed on to the document.
#ifndef KORVANE_VIEW_BUSY_H
#define KORVANE_VIEW_BUSY_H

class CBusyGuard {
 public:
  explicit CBusyGuard(int& counter) : m_counter(counter) { ++m_counter; }
  ~CBusyGuard() { --m_counter; }
  CBusyGuard(const CBusyGuard&) = delete;
  CBusyGuard& operator=(const CBusyGuard&) = delete;

 private:
  int& m_counter;
};

#endif
